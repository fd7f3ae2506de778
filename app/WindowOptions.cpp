#include "app/WindowOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#include "Version.h"
#include "i18n/TextRow.h"

namespace pb {
namespace {

// The command line's own texts in English, Simplified and Traditional Chinese, chosen by
// the user's locale (LANG, LC_MESSAGES, LC_ALL); Qt's parser errors stay as Qt words them.
enum Text {
    Description,
    HelpOption,
    VersionOption,
    SettingsOption,
    Unexpected,
    NotAFile,
    Try,
    StationOption,
    NotARecipe,
};
constexpr TextRow kTexts[] = {
    {{u"Bench test tool for the KV410 door access controller and its modules.\n"
      u"Opens the test window; the link (serial port or TCP) is chosen in it.\n"
      u"Settings: $XDG_CONFIG_HOME/NORDAX/PanelBench.conf unless --settings names a file.",
      u"KV410 门禁控制器及其模组的测试工具。\n"
      u"开启测试窗口；连线（串口或 TCP）在窗口中选择。\n"
      u"设定：$XDG_CONFIG_HOME/NORDAX/PanelBench.conf，除非以 --settings 指定其他档案。",
      u"KV410 門禁控制器及其模組的測試工具。\n"
      u"開啟測試視窗；連線（串列埠或 TCP）在視窗中選擇。\n"
      u"設定：$XDG_CONFIG_HOME/NORDAX/PanelBench.conf，除非以 --settings 指定其他檔案。"}},
    {{u"Show this help and exit.", u"显示此说明后结束。", u"顯示此說明後結束。"}},
    {{u"Show the version and exit.", u"显示版本后结束。", u"顯示版本後結束。"}},
    {{u"Keep the settings in FILE instead of the default file (created when first written).",
      u"设定存于 FILE 而非预设档案（首次写入时建立）。",
      u"設定存於 FILE 而非預設檔案（首次寫入時建立）。"}},
    {{u"unexpected argument '%1'", u"多余的参数 '%1'", u"多餘的參數 '%1'"}},
    {{u"--settings wants a file, not '%1'", u"--settings 需要档案，而非 '%1'",
      u"--settings 需要檔案，而非 '%1'"}},
    {{u"Try 'panelbench --help'.", u"请执行 'panelbench --help' 查看说明。",
      u"請執行 'panelbench --help' 查看說明。"}},
    {{u"Open the test station on the recipe in FILE instead of the test window: each "
      u"scanned unit runs the recipe's steps and shows PASS or FAIL. A fixture file in FILE "
      u"tests every socket of the fixture at once.",
      u"以 FILE 中的配方开启测试站，而非测试窗口：每个扫描的产品执行配方的步骤并显示合格或不合格。"
      u"FILE 为治具档案时，治具的所有穴位同时测试。",
      u"以 FILE 中的配方開啟測試站，而非測試視窗：每個掃描的產品執行配方的步驟並顯示合格或不合格。"
      u"FILE 為治具檔案時，治具的所有穴位同時測試。"}},
    {{u"--station wants a recipe file, not '%1'", u"--station 需要配方档案，而非 '%1'",
      u"--station 需要配方檔案，而非 '%1'"}},
};

// 0 English, 1 Simplified Chinese, 2 Traditional Chinese.
int LocaleLanguage() {
    const QLocale locale = QLocale::system();
    if (locale.language() != QLocale::Chinese) return 0;
    if (locale.script() == QLocale::TraditionalHanScript) return 2;
    if (locale.script() == QLocale::SimplifiedHanScript) return 1;
    const QLocale::Territory t = locale.territory();
    return t == QLocale::Taiwan || t == QLocale::HongKong || t == QLocale::Macao ? 2 : 1;
}

QString Tr(Text text) {
    return RowText(kTexts[text], LocaleLanguage());
}

ParsedWindowOptions UsageError(const QString& why) {
    return {std::nullopt, QStringLiteral("panelbench: %1\n%2\n").arg(why, Tr(Try)), 2};
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
    p.setApplicationDescription(Tr(Description));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  Tr(HelpOption));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     Tr(VersionOption));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        Tr(SettingsOption), QStringLiteral("FILE"));
    const QCommandLineOption station(QStringLiteral("station"), Tr(StationOption),
                                     QStringLiteral("FILE"));
    p.addOptions({help, version, settings, station});
    AddQtGuiOptions(p);

    if (!p.parse(arguments)) return UsageError(p.errorText());
    if (p.isSet(help)) return {std::nullopt, p.helpText(), 0};
    if (p.isSet(version)) return {std::nullopt, QStringLiteral("panelbench " PANELBENCH_VERSION "\n"), 0};
    if (!p.positionalArguments().isEmpty())
        return UsageError(Tr(Unexpected).arg(p.positionalArguments().first()));

    WindowOptions o;
    if (p.isSet(settings)) {
        const QFileInfo file(p.value(settings));
        if (p.value(settings).isEmpty() || file.isDir())
            return UsageError(Tr(NotAFile).arg(p.value(settings)));
        o.settingsFile = file.absoluteFilePath();
    }
    if (p.isSet(station)) {
        const QFileInfo file(p.value(station));
        if (p.value(station).isEmpty() || file.isDir())
            return UsageError(Tr(NotARecipe).arg(p.value(station)));
        o.stationRecipe = file.absoluteFilePath();
    }
    return {o, QString(), 0};
}

}  // namespace pb
