#pragma once
// The tests by the names their records keep, and those names in each language (the rows
// are i18n/RecordsTexts' own; which row names which test is known here, where the tests are).

#include <QString>
#include <QStringList>

namespace pb {

// The name of a procedure id ("set-date", ...) in `language`; the id itself when unknown.
QString ProcedureName(const QString& procedureId, int language);
// The procedure ids the records know by name, in menu order: the test-run frame's
// TestName of every test.
const QStringList& KnownProcedureIds();

}  // namespace pb
