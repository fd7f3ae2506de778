// The manual pages keep up with the programs: every option a program's --help lists, and
// every command of the simulator's prompt, is in its page; the pages a built tree holds
// read right (version and date filled in), and the README points at those.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include "tests/support/CliRig.h"

using namespace pbtest;

namespace {

QString BuildDir() {
    return QFileInfo(CliProgram()).dir().absoluteFilePath(QStringLiteral(".."));
}

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The page as a reader sees its words: roff's "\-" is a dash, font changes are dropped.
QString ManSource(const QString& program) {
    static const QRegularExpression font(QStringLiteral("\\\\f[BIRP]"));
    return ReadText(QStringLiteral(PANELBENCH_SOURCE_DIR "/docs/man/") + program + QStringLiteral(".1"))
        .replace(QStringLiteral("\\-"), QStringLiteral("-"))
        .remove(font);
}

QSet<QString> LongOptions(const QString& text) {
    QSet<QString> options;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--([a-z][a-z0-9-]*)"));
    for (const auto& m : option.globalMatch(text)) options.insert(m.captured(1));
    return options;
}

QString HelpOf(const QString& path) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(path, {QStringLiteral("--help")});
    if (!p.waitForFinished(20000)) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

struct Program {
    QString name;
    QString path;
};

QList<Program> Programs() {
    return {{QStringLiteral("panelbench"), BuildDir() + QStringLiteral("/app/panelbench")},
            {QStringLiteral("panelbench-sim"), SimProgram()},
            {QStringLiteral("panelbench-cli"), CliProgram()}};
}

}  // namespace

TEST(ManualPages, EveryOptionTheHelpListsIsInThePage) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.name.toStdString());
        const QSet<QString> listed = LongOptions(HelpOf(program.path));
        ASSERT_TRUE(listed.contains(QStringLiteral("version")));
        const QSet<QString> documented = LongOptions(ManSource(program.name));
        for (const QString& option : listed)
            EXPECT_TRUE(documented.contains(option)) << "--" << option.toStdString() << " is not in its page";
    }
    // The value forms that change what an option means are told apart.
    const QString cli = ManSource(QStringLiteral("panelbench-cli"));
    EXPECT_TRUE(cli.contains(QStringLiteral(".BI --records \" URL\""))) << "panelbench-cli --records URL";
}

TEST(ManualPages, EveryCommandOfTheSimulatorsPromptIsInItsPage) {
    QProcess sim;
    sim.start(SimProgram(), {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--quiet")});
    ASSERT_TRUE(sim.waitForStarted(10000));
    sim.write("help\nquit\n");
    ASSERT_TRUE(sim.waitForFinished(20000));
    const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("commands:\n"));
    ASSERT_GE(at, 0) << out.toStdString();
    QStringList verbs;
    for (const QString& line : out.mid(at).split(u'\n'))
        if (line.startsWith(QStringLiteral("  "))) verbs << line.trimmed().section(u' ', 0, 0);
    ASSERT_TRUE(verbs.contains(QStringLiteral("loopback"))) << out.toStdString();

    const QString page = ManSource(QStringLiteral("panelbench-sim"));
    const QString commands = page.section(QStringLiteral(".SH COMMANDS"), 1).section(QStringLiteral(".SH "), 0, 0);
    for (const QString& verb : std::as_const(verbs)) {
        const QRegularExpression entry(QStringLiteral("^\\.TP\\n\\.B[IR]? \"?%1[ \"\\n,]")
                                           .arg(QRegularExpression::escape(verb)),
                                       QRegularExpression::MultilineOption);
        EXPECT_TRUE(entry.match(commands).hasMatch()) << verb.toStdString() << " is not in COMMANDS";
    }
}

TEST(ManualPages, TheBuiltPagesReadRightAndTheReadmePointsAtThem) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.name.toStdString());
        const QString built = ReadText(BuildDir() + QStringLiteral("/packaging/man/") + program.name + QStringLiteral(".1"));
        ASSERT_FALSE(built.isEmpty());
        static const QRegularExpression placeholder(QStringLiteral("@[A-Z_]+@"));
        EXPECT_FALSE(built.contains(placeholder)) << built.section(u'\n', 0, 0).toStdString();
        EXPECT_TRUE(built.section(u'\n', 0, 0).contains(QStringLiteral("Panel Bench " PANELBENCH_VERSION)));
    }
    // Every page the README shows with man -l is one of those, in the build tree it names.
    const QString readme = ReadText(QStringLiteral(PANELBENCH_SOURCE_DIR "/README.md"));
    static const QRegularExpression shown(QStringLiteral("man -l ([^`\\s]+)"));
    int pages = 0;
    for (const auto& m : shown.globalMatch(readme)) {
        const QString path = m.captured(1);
        EXPECT_TRUE(path.startsWith(QStringLiteral("build/ci/packaging/man/"))) << path.toStdString();
        const QString name = QFileInfo(path).fileName();
        EXPECT_TRUE(QFileInfo::exists(BuildDir() + QStringLiteral("/packaging/man/") + name)) << path.toStdString();
        ++pages;
    }
    EXPECT_GT(pages, 0);
}

TEST(ManualPages, EachPageNamesTheOthersAndTheDocumentsItPointsToAreInstalled) {
    // What `cmake --install` copies, as the build tree's install scripts name it.
    QString installed;
    QDirIterator it(BuildDir(), {QStringLiteral("cmake_install.cmake")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) installed += ReadText(it.next());
    static const QRegularExpression document(QStringLiteral("/usr/share/doc/panelbench/([\\w.-]*\\w)"));
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.name.toStdString());
        const QString page = ManSource(program.name);
        for (const Program& other : Programs()) {
            if (other.name == program.name) continue;
            EXPECT_TRUE(page.section(QStringLiteral(".SH SEE ALSO"), 1).contains(".BR " + other.name + " (1)"))
                << other.name.toStdString();
        }
        EXPECT_FALSE(page.contains(QStringLiteral("docs/")));  // a source tree's path, not the package's
        for (const auto& m : document.globalMatch(page))
            EXPECT_TRUE(installed.contains("/docs/" + m.captured(1))) << m.captured(1).toStdString();
    }
}
