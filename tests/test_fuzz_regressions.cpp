// Faults the fuzz targets found in the core code, each kept as a plain test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "records/store/ServerAddress.h"
#include "records/store/CappedTraffic.h"
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

// The port given as the option "port=" was taken as toInt() made it: a number out of
// range went to libpq as it was, and text became 0, which dials the default port. It is
// refused as a port in the URL's own place is.
TEST(FuzzRegressions, APortGivenAsAnOptionIsCheckedLikeThePortOfTheUrl) {
    using pb::records::ParseServerUrl;
    using pb::records::UrlProblem;
    for (const char* url : {"postgresql://db/records?port=99999", "postgresql://126.0.0.1/r?port=6?po&user=u",
                            "postgresql://db/records?port=0", "postgresql://db/records?port=",
                            "postgresql://db:5432/records?port=-1"}) {
        UrlProblem problem = UrlProblem::None;
        QString part;
        EXPECT_FALSE(ParseServerUrl(QString::fromLatin1(url), nullptr, &problem, &part)) << url;
        EXPECT_EQ(problem, UrlProblem::BadPort) << url;
        EXPECT_TRUE(QString::fromLatin1(url).contains(part)) << url;
    }
    const auto a = ParseServerUrl(QStringLiteral("postgresql://db:5432/records?port=6543"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->port, 6543);
}

// A run's stored traffic is compressed behind the size it inflates to. The decoder took
// that size on trust, so a damaged blob of eight bytes asked for 4 GB. A size zlib cannot
// reach from the bytes there is damage, and what it can reach still decodes.
TEST(FuzzRegressions, AStoredTrafficBlobClaimingMoreThanItsBytesCanHoldIsDamaged) {
    using namespace pb::records;
    EXPECT_FALSE(DecodeTraffic(QByteArray::fromHex("ffffffff616263")));
    EXPECT_FALSE(DecodeTraffic(QByteArray::fromHex("50425431")));
    EXPECT_FALSE(DecodeTraffic(QByteArray("\x00\x00")));
    KeptTraffic kept;
    kept.dropped = 3;
    for (int i = 0; i < 2000; ++i)  // compresses far: the claim is many times the blob
        kept.frames.append({1765000000000 + i, Direction::Received, QByteArray(64, 'A'), QStringLiteral("good"), {}});
    const QByteArray blob = EncodeTraffic(kept);
    const std::optional<KeptTraffic> back = DecodeTraffic(blob);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frames.size(), 2000);
    EXPECT_EQ(back->dropped, 3);
}

// The address as shown (status line, logs) put a host given as "host=" in brackets when
// it held a ':', and option values as they were decoded: a '/', '?', '&' or '%' in them
// made a text that reads as another address or none.
TEST(FuzzRegressions, TheAddressAsShownReadsBackAsTheSameAddress) {
    using pb::records::ParseServerUrl;
    for (const char* url : {"postgresql://db/r?host=%3Ftmp%2Fa:b", "postgresql://db/r?sslmode=a%26b%3Dc%25",
                            "postgresql://u@[::1]:5433/r", "postgresql://u@%2Frun%2Fpostgresql/r?connect_timeout=3"}) {
        const auto a = ParseServerUrl(QString::fromLatin1(url));
        ASSERT_TRUE(a) << url;
        const auto back = ParseServerUrl(a->display());
        ASSERT_TRUE(back) << url << " shown as " << a->display().toStdString();
        EXPECT_EQ(back->host, a->host) << url;
        EXPECT_EQ(back->port, a->port) << url;
        EXPECT_EQ(back->options, a->options) << url;
    }
    EXPECT_EQ(ParseServerUrl(QStringLiteral("postgresql://u@[::1]:5433/r"))->display(), "postgresql://u@[::1]:5433/r");
}

}  // namespace
