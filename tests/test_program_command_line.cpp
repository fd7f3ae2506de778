// The command lines of panelbench and panelbench-sim as a user meets them: help and
// version without a display, usage errors, and --settings FILE (used by the window, the
// default settings left alone, a quiet start, nothing left behind after SIGTERM).
#include <gtest/gtest.h>
#include <signal.h>

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include "Version.h"
#include "app/TfrmModule.h"
#include "app/TonePlayer.h"
#include "settings/Settings.h"

namespace {

QString program(const char* relative) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../") +
           QString::fromLatin1(relative);
}

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs to the end in the C locale, or `locale`; the xcb platform and no display mean that
// any attempt to open a window would fail the run.
Outcome RunToEnd(const QString& path, const QStringList& args, const char* locale = "C") {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(path, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProgramCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(window_) || !QFile::exists(sim_))
            GTEST_SKIP() << "panelbench or panelbench-sim not built";
    }
    const QString window_ = program("app/panelbench");
    const QString sim_ = program("sim/panelbench-sim");
};

TEST_F(ProgramCommandLine, HelpAndVersionNeedNoDisplay) {
    const QByteArray version = PANELBENCH_VERSION;
    for (const char* option : {"--help", "-h"}) {
        const Outcome help = RunToEnd(window_, {QString::fromLatin1(option)});
        EXPECT_EQ(help.exitCode, 0) << option << help.err.constData();
        EXPECT_TRUE(help.out.contains("--settings <FILE>")) << help.out.constData();
        EXPECT_TRUE(help.out.contains("--version"));
        EXPECT_TRUE(help.err.isEmpty()) << help.err.constData();
    }
    for (const char* option : {"--version", "-v"}) {
        const Outcome v = RunToEnd(window_, {QString::fromLatin1(option)});
        EXPECT_EQ(v.exitCode, 0) << option;
        EXPECT_EQ(v.out, "panelbench " + version + "\n");
        EXPECT_TRUE(v.err.isEmpty()) << v.err.constData();
    }
    // The window's own texts follow the user's locale.
    const Outcome simplified = RunToEnd(window_, {QStringLiteral("--help")}, "zh_CN.UTF-8");
    EXPECT_EQ(simplified.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(simplified.out).contains(u"显示版本后结束。"))
        << simplified.out.constData();
    const Outcome traditional = RunToEnd(window_, {QStringLiteral("extra")}, "zh_TW.UTF-8");
    EXPECT_EQ(traditional.exitCode, 2);
    EXPECT_TRUE(QString::fromUtf8(traditional.err).contains(u"多餘的參數 'extra'"))
        << traditional.err.constData();

    const Outcome simVersion = RunToEnd(sim_, {QStringLiteral("--version")});
    EXPECT_EQ(simVersion.exitCode, 0);
    EXPECT_EQ(simVersion.out, "panelbench-sim " + version + "\n");
    const Outcome simHelp = RunToEnd(sim_, {QStringLiteral("--help")});
    EXPECT_EQ(simHelp.exitCode, 0);
    EXPECT_TRUE(simHelp.out.contains("--version"));
}

TEST_F(ProgramCommandLine, UsageErrorsExitTwoWithTheReasonOnStandardError) {
    QTemporaryDir dir;
    const struct {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "Unknown option 'bogus'"},
        {{QStringLiteral("extra")}, "unexpected argument 'extra'"},
        {{QStringLiteral("--settings")}, "Missing value after '--settings'"},
        {{QStringLiteral("--settings"), dir.path()}, "--settings wants a file"},
    };
    for (const auto& c : cases) {
        const Outcome r = RunToEnd(window_, c.args);
        EXPECT_EQ(r.exitCode, 2) << c.reason;
        EXPECT_TRUE(r.out.isEmpty()) << c.reason;
        EXPECT_TRUE(r.err.startsWith("panelbench: ")) << r.err.constData();
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err.constData();
        EXPECT_TRUE(r.err.contains("Try 'panelbench --help'.")) << r.err.constData();
    }
    const Outcome sim = RunToEnd(sim_, {QStringLiteral("--bogus")});
    EXPECT_EQ(sim.exitCode, 2);
    EXPECT_TRUE(sim.out.isEmpty());
    EXPECT_TRUE(sim.err.contains("bogus")) << sim.err.constData();
}

// The started program, offscreen, as a user without XDG_RUNTIME_DIR or a sound device
// has it: it takes the named file, prints nothing but the start-up notes asked for, and on
// SIGTERM ends with 0 and removes its private runtime folder.
TEST_F(ProgramCommandLine, WindowStartsQuietlyWithTheNamedSettingsFile) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("config"));
    const QString defaultFile = config + QStringLiteral("/NORDAX/PanelBench.conf");
    const QByteArray defaultText = "[General]\nNetIP=127.0.0.9\n";
    WriteFile(defaultFile, defaultText);
    const QString named = dir.filePath(QStringLiteral("bench.conf"));
    WriteFile(named, "[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=5003\n");
    const QString tmp = dir.filePath(QStringLiteral("tmp"));
    QDir().mkpath(tmp);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("panelbench.app.debug=true"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("TMPDIR"), tmp);
    p.setProcessEnvironment(env);
    p.start(window_, {QStringLiteral("--settings"), named});
    ASSERT_TRUE(p.waitForStarted(10000));
    QByteArray err;
    QDeadlineTimer deadline(60000);
    while (!err.contains("window shown") && !deadline.hasExpired() &&
           p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("window shown")) << err.constData();
    EXPECT_EQ(QDir(tmp).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    err += p.readAllStandardError();
    EXPECT_EQ(p.readAllStandardOutput(), QByteArray());
    EXPECT_TRUE(err.contains(QStringLiteral("panelbench.app: settings file \"%1\"").arg(named).toUtf8()))
        << err.constData();
    for (const QByteArray& line : err.split('\n'))
        EXPECT_TRUE(line.isEmpty() || line.startsWith("panelbench.app: ")) << line.constData();
    EXPECT_TRUE(QDir(tmp).isEmpty()) << QDir(tmp).entryList().join(u' ').toStdString();
    EXPECT_EQ(ReadFile(defaultFile), defaultText);
    EXPECT_EQ(QDir(config + QStringLiteral("/NORDAX")).entryList(QDir::Files).size(), 1);
}

// In the process: with a settings file named, the window shows that file's values and
// writes its choices there, and the default file stays as it was.
TEST(SettingsFileOption, TheWindowReadsAndWritesTheNamedFile) {
    QTemporaryDir dir;
    const QByteArray defaultText = "[General]\nNetIP=127.0.0.9\nLanguageFlag=English\n";
    WriteFile(pb::SettingsFilePath(), defaultText);
    const QString defaultFile = pb::SettingsFilePath();
    const QString named = dir.filePath(QStringLiteral("bench.conf"));
    WriteFile(named, "[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=5003\n");

    pb::UseSettingsFile(named);
    EXPECT_EQ(pb::SettingsFilePath(), named);
    {
        TfrmModule window;
        auto* ip = window.findChild<QLineEdit*>(QStringLiteral("edIP"));
        ASSERT_NE(ip, nullptr);
        EXPECT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
        auto* simplified = window.findChild<QAction*>(QStringLiteral("mnuSimplified"));
        ASSERT_NE(simplified, nullptr);
        simplified->trigger();
    }
    pb::UseSettingsFile(QString());

    EXPECT_TRUE(ReadFile(named).contains("LanguageFlag=ChineseGB")) << ReadFile(named).constData();
    EXPECT_EQ(pb::SettingsFilePath(), defaultFile);
    EXPECT_EQ(ReadFile(defaultFile), defaultText);
}

// A beep where no sound server answers: the audio backend's complaint is not printed, and
// with the audio category's debug notes asked for it comes as one of them.
QStringList capturedMessages;
void Capture(QtMsgType, const QMessageLogContext& context, const QString& text) {
    capturedMessages << QStringLiteral("%1: %2").arg(QString::fromLatin1(context.category), text);
}

TEST(AudioNotes, AMissingSoundServerIsANoteOnRequestOnly) {
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Capture);
    QLoggingCategory::setFilterRules(QStringLiteral("panelbench.audio.debug=true"));
    {
        pb::TonePlayer player;
        player.play(800, 50);
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    for (const QString& line : capturedMessages)
        EXPECT_TRUE(line.startsWith(u"panelbench.audio: ")) << line.toStdString();
    // Where a sound server does answer, nothing is said at all.
    if (!capturedMessages.isEmpty()) {
        EXPECT_TRUE(capturedMessages.join(u'\n').contains(u"no audio output"))
            << capturedMessages.join(u'\n').toStdString();
    }
}

}  // namespace

// --station with a recipe that has mistakes opens nothing (no display here) and names
// each mistake with its line; a folder is a usage error.
TEST_F(ProgramCommandLine, StationWithABadRecipeSaysWhereAndOpensNothing) {
    QTemporaryDir dir;
    const QString recipe = dir.filePath("bad.json");
    WriteFile(recipe, "{\n  \"schema\": 1,\n  \"product\": \"X\",\n  \"steps\": [\n"
                      "    {\"kind\": \"identify\", \"retries\": 999}\n  ]\n}\n");
    const Outcome r = RunToEnd(window_, {QStringLiteral("--station"), recipe});
    EXPECT_EQ(r.exitCode, 2) << r.err.constData();
    EXPECT_TRUE(r.err.startsWith("The recipe bad.json has mistakes:\nline 5, steps[0].retries: "))
        << r.err.constData();
    const Outcome folder = RunToEnd(window_, {QStringLiteral("--station"), dir.path()});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_TRUE(folder.err.contains("--station wants a recipe file")) << folder.err.constData();
    const Outcome help = RunToEnd(window_, {QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains("--station <FILE>")) << help.out.constData();
}
