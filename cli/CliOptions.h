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
};

struct ParsedCli {
    bool run = false;    // false: print output and exit with exitCode
    QString output;      // help, version or the error
    int exitCode = 0;
    CliOptions options;
};

ParsedCli ParseCli(const QStringList& arguments);

// "host:port [ID]" or "PORT [ID]" per line; '#' starts a comment.
bool ParseUnitsFile(const QString& text, const QString& speed, QList<UnitLink>& units,
                    QString& error);

QString HelpText();

}  // namespace cli
