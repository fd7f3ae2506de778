#pragma once
// Exports of a selection of runs: JSON (docs/records.md, docs/records.schema.json), CSV
// (one row per run, RFC 4180), and a printable report per unit as XHTML or PDF. A recipe
// run (one unit test) shows with its steps: in JSON as "recipeRuns", in CSV as the recipe
// columns of its runs, in the report as a table of unit tests.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include "output/WholeFile.h"
#include "records/store/RecordStore.h"

namespace pb::records {

inline constexpr char kJsonFormat[] = "panelbench-records";
// 2: causes and measurements as data, steps numbered from 1 ("step", "failingStep").
inline constexpr int kJsonFormatVersion = 2;

// The runs of `filter` with the units they belong to; each run's frames too when asked.
QByteArray ExportJson(RecordStore& store, const RunFilter& filter, bool withTraffic = false);
// UTF-8 with a byte-order mark (so spreadsheets read it as UTF-8), CRLF line ends.
QByteArray ExportCsv(RecordStore& store, const RunFilter& filter);
QStringList CsvColumns();

// One unit's report: identity, every run with outcome and timing, firmware history.
// Well-formed XHTML, which QTextDocument also lays out for the PDF.
QString UnitReportHtml(RecordStore& store, qint64 unitId, int language);
// The same report as a PDF of A4 pages, the whole file or none (output/WholeFile.h). Fails
// when the file cannot be written, or when the program has no QGuiApplication (text
// layout needs its fonts).
SaveResult WriteUnitReportPdf(RecordStore& store, qint64 unitId, int language, const QString& path);

// "OK", "Error", ... in `language`.
QString OutcomeName(Outcome outcome, int language);

// One unit, one run, a run's frames: the objects of the JSON export.
QJsonObject UnitJson(const UnitRow& unit);
QJsonObject RunJson(const RunRow& run);
QJsonArray TrafficJson(const KeptTraffic& traffic);
QJsonObject RecipeRunJson(const RecipeRunRow& run);
// A recipe run as lines of text for a details pane: the unit test's verdict, then each
// step ("2. set-date  PASS  clock set to ..."); the step holding `runId` is marked.
QStringList RecipeRunLines(const RecipeRunRow& run, qint64 runId, int language);

}  // namespace pb::records
