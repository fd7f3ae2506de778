// The tests are described once, in their descriptors: docs/tests.md is what they make
// (PANELBENCH_UPDATE_DOCS=1 writes it anew), the manual page names every command, the
// worked example of a new test touches at most four files outside tests/, and no code
// but the descriptors switches over the tests or compares a test's name as text.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "catalogue/TestCatalogue.h"
#include "catalogue/TestDocs.h"

using namespace pb;

namespace {

QString SourceFile(const QString& path) { return QStringLiteral(PANELBENCH_SOURCE_DIR "/") + path; }

QString Read(const QString& path) {
    QFile f(SourceFile(path));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(TestDocs, DocsTestsMdIsWhatTheDescriptorsSay) {
    const QString made = TestsMarkdown();
    if (qEnvironmentVariableIsSet("PANELBENCH_UPDATE_DOCS")) {
        QFile f(SourceFile(QStringLiteral("docs/tests.md")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(made.toUtf8());
    }
    EXPECT_EQ(Read(QStringLiteral("docs/tests.md")), made)
        << "docs/tests.md differs from the descriptors: PANELBENCH_UPDATE_DOCS=1 writes it anew";
    for (const TestDescriptor& test : Catalogue()) {
        EXPECT_TRUE(made.contains(QStringLiteral("`%1`").arg(test.stableName()))) << test.name;
        if (test.standalone) {
            EXPECT_TRUE(made.contains(QStringLiteral("\n## %1\n").arg(test.commandName()))) << test.name;
        }
    }
}

TEST(TestDocs, TheManualPageAndTheHandWrittenDocsPointAtEveryCommand) {
    const QString manual = Read(QStringLiteral("docs/man/panelbench-cli.1"));
    for (const TestDescriptor& test : Catalogue()) {
        if (!test.standalone) continue;
        // A command's own paragraph: ".B alarm ..." or ".BR set\-date ...".
        QString roff = test.commandName();
        roff.replace(u'-', QStringLiteral("\\-"));
        const QRegularExpression entry(QStringLiteral("\\n\\.BR? %1[ \\n]").arg(QRegularExpression::escape(roff)));
        EXPECT_TRUE(entry.match(manual).hasMatch()) << test.name << ": no paragraph in panelbench-cli.1";
    }
    for (const char* doc : {"docs/recipes.md", "docs/records.md", "docs/panelbench-cli.md"})
        EXPECT_TRUE(Read(QLatin1String(doc)).contains(QStringLiteral("tests.md"))) << doc;
}

// The worked example's own list of the files it changes, in docs/architecture.md.
TEST(TestDocs, TheWorkedExampleOfANewTestTouchesAtMostFourFilesOutsideTests) {
    const QString architecture = Read(QStringLiteral("docs/architecture.md"));
    const qsizetype at = architecture.indexOf(QStringLiteral("## Adding a test"));
    ASSERT_GE(at, 0) << "docs/architecture.md has no worked example";
    const qsizetype end = architecture.indexOf(QStringLiteral("\n## "), at + 1);
    const QString example = architecture.mid(at, end < 0 ? -1 : end - at);
    static const QRegularExpression touched(QStringLiteral("^\\d+\\. `([^`]+)`"), QRegularExpression::MultilineOption);
    QStringList files;
    for (auto m = touched.globalMatch(example); m.hasNext();) files << m.next().captured(1);
    ASSERT_FALSE(files.isEmpty()) << "the worked example lists the files it touches as '1. `path`'";
    QStringList outside;
    for (const QString& file : files) {
        EXPECT_TRUE(QFile::exists(SourceFile(file))) << file.toStdString();
        if (!file.startsWith(QLatin1String("tests/"))) outside << file;
    }
    EXPECT_LE(outside.size(), 4) << outside.join(' ').toStdString();
}

TEST(TestDocs, OnlyTheDescriptorsTellTheTestsApart) {
    // A switch over the tests, or a test's name compared as text.
    QStringList names;
    for (const TestDescriptor& test : Catalogue())
        names << QRegularExpression::escape(test.stableName()) << QRegularExpression::escape(test.commandName());
    names.removeDuplicates();
    const QRegularExpression byCase(QStringLiteral("case\\s+(pb::)?TestId::"));
    // What names a test (a command, a kind, a procedure) held against a test's name.
    const QRegularExpression byName(
        QStringLiteral("(command|kind|procedure|test)\\w*(\\(\\))?\\s*(==|!=)\\s*(QLatin1String|QStringLiteral)?\\(?\"(%1)\"")
            .arg(names.join(u'|')),
        QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    for (const char* folder : {"app", "catalogue", "cli", "evidence", "firmware", "gang", "i18n", "link", "multiup",
                               "output", "pool", "procedures", "recipes", "records", "reports", "runner", "settings"}) {
        QDirIterator it(SourceFile(QLatin1String(folder)), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String("catalogue/TestCatalogue.cpp"))) continue;
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) continue;
            int line = 0;
            for (const QByteArray& bytes : f.readAll().split('\n')) {
                ++line;
                const QString text = QString::fromUtf8(bytes);
                if (byCase.match(text).hasMatch() || byName.match(text).hasMatch())
                    found << QStringLiteral("%1:%2: %3").arg(path.mid(qsizetype(sizeof(PANELBENCH_SOURCE_DIR)))).arg(line).arg(text.trimmed());
            }
        }
    }
    EXPECT_TRUE(found.isEmpty()) << found.join('\n').toStdString();
}

}  // namespace
