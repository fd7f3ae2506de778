#pragma once
// The tests as the documents and the command line's `tests` list them, made from the
// descriptors: docs/tests.md is this text (a test holds it so), and nothing else lists
// the tests by hand.

#include <QString>

namespace pb {

// docs/tests.md: every test, its names, captions, command line and recipe fields.
QString TestsMarkdown();
// `panelbench-cli tests`: a line per test: its command, its stable name and its caption
// in `language`.
QString TestsTable(int language);

}  // namespace pb
