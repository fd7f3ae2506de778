#pragma once
// The command line of panelbench, parsed into plain values before any widget exists, so
// --help, --version and a usage error need no display.

#include <QString>
#include <QStringList>
#include <optional>

namespace pb {

struct WindowOptions {
    QString settingsFile;  // absolute; empty: the default settings file
    QString stationRecipe;  // absolute; set: the test station on this recipe, not the window
};

struct ParsedWindowOptions {
    std::optional<WindowOptions> options;  // empty when the program should stop
    QString output;                        // help or version text, or the error
    int exitCode = 0;                      // 0, or 2 for a usage error
};

// `arguments` as QCoreApplication::arguments() gives them (program name first). Qt's own
// GUI options (-platform, -style, ...) are accepted and left for QApplication.
ParsedWindowOptions ParseWindowOptions(const QStringList& arguments);

}  // namespace pb
