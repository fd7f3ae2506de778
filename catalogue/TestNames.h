#pragma once
// The tests by the names their records keep, and those names in each language: the
// catalogue's rows (catalogue/TestCatalogue.h), for code that only shows names.

#include <QString>
#include <QStringList>

#include "procedures/TestId.h"

namespace pb {

// "connect", "set-date", ...: the stable name records keep.
QString TestName(TestId test);
// "identify", "poll", ...: the command line's and the recipes' name.
QString CommandName(TestId test);

// The name of a procedure id as the records keep it ("set-date", ...) in `language`; the
// id itself when unknown.
QString ProcedureName(const QString& procedureId, int language);
// The procedure ids the records know by name, in menu order: every test's stable name.
const QStringList& KnownProcedureIds();

}  // namespace pb
