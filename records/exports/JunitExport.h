#pragma once
// The unit tests of a selection as JUnit XML, for CI systems and test dashboards: one
// <testsuite> a unit test (name: serial and recipe; timestamp, time, hostname: the
// station), one <testcase> a step (classname: the recipe; name: "N. step"; time), a
// failed step's <failure type="CAUSE-CODE" message="the cause's values">, a step never
// reached <skipped/>, an interrupted one <error type="interrupted">; <properties> with the
// fixture, socket, recipe hash, the unit's firmware version and the tool's version.

#include <QByteArray>

#include "records/store/RecordStore.h"

namespace pb::records {

QByteArray ExportJunit(RecordStore& store, const RunFilter& filter);

}  // namespace pb::records
