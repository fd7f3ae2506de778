#pragma once
// panelbench-cli firmware sign|verify: a firmware release's minisign signature, written or
// checked without a unit.
//   firmware sign FILE --secret-key KEY --models M[,M] --version V [--downgrade] [--expires DATE] [--legacy]
//   firmware verify FILE [--trust PUB]... [--json] [--language L]
// An encrypted secret key's password comes from PANELBENCH_KEY_PASSWORD, else from the
// first line of the standard input.

#include <QStringList>

namespace cli {

// The exit code: 0 signed (or verified and trusted), 2 usage, 6 refused.
int RunFirmwareCommand(const QStringList& arguments);

}  // namespace cli
