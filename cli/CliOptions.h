#pragma once
// The command line of panelbench-cli, parsed into plain values.

#include <QList>
#include <QString>
#include <QStringList>

#include "cli/RecordsCommand.h"
#include "cli/UnitJob.h"

namespace cli {

struct CliOptions {
    CommandJob job;
    QList<UnitLink> units;
    bool json = false;
    RecordsJob records;  // the records command
    // run --fixture with some --unit-serial: the sockets given none, not run.
    QStringList leftOut;
};

struct ParsedCli {
    bool run = false;    // false: print output and exit with exitCode
    QString output;      // help, version or the error
    int exitCode = 0;
    CliOptions options;
};

ParsedCli ParseCli(const QStringList& arguments);

QString HelpText();

}  // namespace cli
