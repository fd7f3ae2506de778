// Faults the fuzz targets found in the core code, each kept as a plain test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings/Settings.h"

namespace {

// The INI reader reports a format error only on the load that parses the file; a second
// load of the unchanged file is answered from its cache without one. A file the reader
// sees as a broken section line was therefore ignored on the first load and read on the
// second. Such a file is damaged on every load.
TEST(FuzzRegressions, ASectionLineTheReaderCutsShortIsDamagedOnEveryLoad) {
    for (const QByteArray& content : {QByteArray("[Gener; car]\nTYPE=0\nComBaudRate=9600,n,8,1\n"),
                                      QByteArray("[General\r]\nTYPE=0\nNetIP=10.1.1.1\n"),
                                      QByteArray("[General ;]\nTYPE=0\n")}) {
        QTemporaryDir home;
        const QString file = home.filePath(QStringLiteral("PanelBench.conf"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        out.close();
        for (int load = 1; load <= 3; ++load) {
            pb::Settings s;
            s.link.kind = pb::LinkKind::Net;
            s.link.ip = QStringLiteral("127.0.0.1");
            s.link.speed = QStringLiteral("38400,n,8,1");
            EXPECT_EQ(pb::LoadSettings(s, file), 0) << content.constData() << " load " << load;
            EXPECT_EQ(s.link.kind, pb::LinkKind::Net) << content.constData() << " load " << load;
            EXPECT_EQ(s.link.ip, "127.0.0.1") << content.constData() << " load " << load;
            EXPECT_EQ(s.link.speed, "38400,n,8,1") << content.constData() << " load " << load;
        }
    }
}

// A comment after a well-formed section line is fine.
TEST(FuzzRegressions, ACommentAfterAWholeSectionLineIsRead) {
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("PanelBench.conf"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("[General] ; written by hand\r\nTYPE=1\r\nNetIP=10.1.1.1\r\n");
    out.close();
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s, file), 1);
    EXPECT_EQ(s.link.kind, pb::LinkKind::Net);
    EXPECT_EQ(s.link.ip, "10.1.1.1");
}

// The store writes a '"' in a value as \" without quotes around it. The check for damaged
// files counted every '"' on the line and took the odd count for an open quote, so a
// firmware file named with a '"' made the whole file unreadable: every setting fell
// back to its default at the next start.
TEST(FuzzRegressions, ValuesWithQuotesBackslashesAndSemicolonsSurviveASaveAndLoad) {
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("PanelBench.conf"));
    for (const QString& name : {QStringLiteral("/tmp/a\"b.KVF"), QStringLiteral("\"q\"\""),
                                QStringLiteral("x\\y;\"z"), QStringLiteral("a=\"b ;c")}) {
        QFile::remove(file);
        pb::Settings saved;
        saved.firmwareFile = name;
        saved.languageFlag = QStringLiteral("ChineseBIG5");
        pb::SaveFirmwareFile(saved, file);
        pb::SaveLanguage(saved, file);
        pb::Settings loaded;
        pb::LoadSettings(loaded, file);
        EXPECT_EQ(loaded.firmwareFile, name);
        EXPECT_EQ(loaded.language, pb::Language::TraditionalChinese) << name.toStdString();
    }
}

// Quotes are judged the way the INI reader splits the line: an escaped quote or a quote
// in a comment opens nothing, a quote left open or a line ending on a backslash runs on
// into the next line and damages the file.
TEST(FuzzRegressions, QuotesAreCountedAsTheReaderSeesThem) {
    QTemporaryDir home;
    int n = 0;
    auto load = [&](const QByteArray& content, pb::Settings& s) {
        const QString file = home.filePath(QStringLiteral("case%1.conf").arg(++n));
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        out.close();
        return pb::LoadSettings(s, file);
    };
    pb::Settings s;
    EXPECT_EQ(load("[General]\nTYPE=1\nFirmwareFile=a\\x22-b ; said \"x\n", s), 1);
    EXPECT_EQ(s.firmwareFile, "a\"-b");
    for (const QByteArray& damaged : {QByteArray("[General]\nTYPE=1\nFirmwareFile=\"a\\\"\n"),
                                      QByteArray("[General]\nTYPE=1\nFirmwareFile=a\\\nNetIP=1\n")}) {
        pb::Settings d;
        EXPECT_EQ(load(damaged, d), 0) << damaged.constData();
        EXPECT_EQ(d.link.kind, pb::LinkKind::Com) << damaged.constData();
        EXPECT_EQ(d.firmwareFile, "KV320MX.KVF") << damaged.constData();
    }
}

}  // namespace
