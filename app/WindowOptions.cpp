#include "app/WindowOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "Version.h"

namespace pb {
namespace {

const char* kDescription =
    "Bench test tool for the KV410 door access controller and its modules.\n"
    "Opens the test window; the link (serial port or TCP) is chosen in it.\n"
    "Settings: $XDG_CONFIG_HOME/NORDAX/PanelBench.conf unless --settings names a file.";

ParsedWindowOptions UsageError(const QString& why) {
    return {std::nullopt, QStringLiteral("panelbench: %1\nTry 'panelbench --help'.\n").arg(why),
            2};
}

// The options QApplication takes off the command line itself; here they are only let
// through (hidden from --help).
void AddQtGuiOptions(QCommandLineParser& p) {
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowtitle", "qwindowicon", "style",
                             "stylesheet", "session", "display", "geometry", "name", "title"}) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(o);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption o(QString::fromLatin1(name));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(o);
    }
}

}  // namespace

ParsedWindowOptions ParseWindowOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Keep the settings in FILE instead of the default file (created when "
                       "first written)."),
        QStringLiteral("FILE"));
    p.addOptions({help, version, settings});
    AddQtGuiOptions(p);

    if (!p.parse(arguments)) return UsageError(p.errorText());
    if (p.isSet(help)) return {std::nullopt, p.helpText(), 0};
    if (p.isSet(version)) return {std::nullopt, QStringLiteral("panelbench " PANELBENCH_VERSION "\n"), 0};
    if (!p.positionalArguments().isEmpty())
        return UsageError(
            QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));

    WindowOptions o;
    if (p.isSet(settings)) {
        const QFileInfo file(p.value(settings));
        if (p.value(settings).isEmpty() || file.isDir())
            return UsageError(
                QStringLiteral("--settings wants a file, not '%1'").arg(p.value(settings)));
        o.settingsFile = file.absoluteFilePath();
    }
    return {o, QString(), 0};
}

}  // namespace pb
