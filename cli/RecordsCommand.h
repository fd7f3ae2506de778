#pragma once
// `panelbench-cli records list|show|export|stats|report`: the unit records kept by every run, read
// from the store (the default file, or --records PATH).

#include <QString>
#include <QStringList>

#include "cli/RecordsStats.h"
#include "records/store/RecordTypes.h"
#include "records/store/RecordsError.h"

namespace cli {

struct RecordsJob {
    QString action;    // list, show, export, stats, report
    QString path;      // empty: the default store
    QString url;       // the shared server to read instead; empty: none
    qint64 runId = 0;  // show: a procedure run ("records show 12")
    qint64 recipeRunId = 0;  // show: a unit test, a recipe run ("records show R3")
    pb::records::RunFilter filter;
    QString format;  // export: json, csv, html, pdf; report: html, pdf
    QString output;  // export, report: empty or "-" is standard output (not for pdf)
    int language = 0;
    bool json = false;
    StatsJob stats;  // stats: the grouping, the format and the shifts (the filter is above)
};

// Parses what follows "records": the action and its one argument; the options are given.
// Empty when fine, else why not.
QString ParseRecordsAction(const QStringList& args, RecordsJob& job);
// yyyy-mm-dd or yyyy-mm-ddThh:mm[:ss], local time; a date alone ends with its day when
// `endOfDay`. 0 when not a date.
qint64 ParseRecordsDate(const QString& text, bool endOfDay);

// Runs it and returns the exit code: 0, or 5 when the store cannot be read, the run or
// unit is not there or the output cannot be written.
int RunRecordsCommand(const RecordsJob& job);

// What the command line says of a store it could not use: what the file is (missing, not
// a store, another program's database, damaged, of another schema) or why it failed.
QString StoreFindingText(const pb::records::RecordsStatus& status);

// True for a command line that exports a PDF or prints a line report: they alone lay out
// text, which needs a QGuiApplication.
bool WantsTextLayout(int argc, char* argv[]);

}  // namespace cli
