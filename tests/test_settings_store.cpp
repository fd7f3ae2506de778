// The settings store: defaults, the stored link kind and language, the inactive link
// pair, and files that are missing, damaged or unreadable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "settings/Settings.h"

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        previousHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", previousHome_); }

    QString file() const { return home_.path() + "/NORDAX/PanelBench.conf"; }

    void writeFile(const QByteArray& content) {
        QDir().mkpath(home_.path() + "/NORDAX");
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QByteArray readFile() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void ExpectDefaults(const pb::Settings& s) {
        EXPECT_EQ(s.link.kind, pb::LinkKind::Com);
        EXPECT_EQ(s.link.portName, "COM1");
        EXPECT_EQ(s.link.speed, "19200,e,8,1");
        EXPECT_EQ(s.link.ip, "192.168.1.101");
        EXPECT_EQ(s.link.tcpPort, "5003");
        EXPECT_EQ(s.languageFlag, "English");
        EXPECT_EQ(s.language, pb::Language::English);
        EXPECT_EQ(s.firmwareFile, "KV320MX.KVF");
    }

    QTemporaryDir home_;
    QByteArray previousHome_;
};

TEST_F(SettingsStore, FileFollowsTheConfigurationFolder) {
    EXPECT_EQ(pb::SettingsFilePath(), file());
}

TEST_F(SettingsStore, NoFileKeepsEveryDefault) {
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 0);
    ExpectDefaults(s);
    EXPECT_FALSE(QFile::exists(file()));  // loading creates nothing
}

TEST_F(SettingsStore, ReadsTheDemoFileOfTheRunScript) {
    writeFile("[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=40123\n");
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 1);
    EXPECT_EQ(s.link.kind, pb::LinkKind::Net);
    EXPECT_EQ(s.link.ip, "127.0.0.1");
    EXPECT_EQ(s.link.tcpPort, "40123");
    EXPECT_EQ(s.link.portName, "COM1");
    EXPECT_EQ(s.link.speed, "19200,e,8,1");
}

TEST_F(SettingsStore, AnyNonZeroTypeMeansTcpAndIsSavedAsOne) {
    writeFile("[General]\nTYPE=7\n");
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 7);
    EXPECT_EQ(s.link.kind, pb::LinkKind::Net);

    pb::LinkSettings net;
    net.kind = pb::LinkKind::Net;
    net.ip = "127.0.0.1";
    net.tcpPort = "5003";
    pb::SaveLinkSettings(s, net);
    QSettings stored(file(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("TYPE").toInt(), 1);
}

TEST_F(SettingsStore, LanguageNameMustMatchExactly) {
    const struct {
        const char* flag;
        int index;
    } cases[] = {{"ChineseGB", 1}, {"ChineseBIG5", 2}, {"English", 0},
                 {"chinesegb", 0}, {"CHINESEBIG5", 0}, {"Klingon", 0}};
    for (const auto& c : cases) {
        writeFile(QByteArray("[General]\nLanguageFlag=") + c.flag + "\n");
        pb::Settings s;
        pb::LoadSettings(s);
        EXPECT_EQ(s.language, pb::LanguageAt(c.index)) << c.flag;
        EXPECT_EQ(s.languageFlag, c.flag) << "the text read is kept as the name";
    }
}

TEST_F(SettingsStore, TcpSaveKeepsTheSerialPairAsLoaded) {
    writeFile("[General]\nTYPE=0\nComPortName=ttyUSB3\nComBaudRate=\"9600,n,8,1\"\n");
    pb::Settings s;
    pb::LoadSettings(s);
    ASSERT_EQ(s.link.portName, "ttyUSB3");
    ASSERT_EQ(s.link.speed, "9600,n,8,1");

    // The user edited the serial page, then ran a test over TCP.
    pb::LinkSettings active;
    active.kind = pb::LinkKind::Net;
    active.portName = "COM9";
    active.speed = "4800,e,8,1";
    active.ip = "127.0.0.1";
    active.tcpPort = "6000";
    pb::SaveLinkSettings(s, active);

    pb::Settings reloaded;
    EXPECT_EQ(pb::LoadSettings(reloaded), 1);
    EXPECT_EQ(reloaded.link.portName, "ttyUSB3");
    EXPECT_EQ(reloaded.link.speed, "9600,n,8,1");
    EXPECT_EQ(reloaded.link.ip, "127.0.0.1");
    EXPECT_EQ(reloaded.link.tcpPort, "6000");
}

TEST_F(SettingsStore, SerialSaveKeepsTheTcpPairAndRoundTripsEveryValue) {
    pb::Settings s;
    pb::LinkSettings com;
    com.kind = pb::LinkKind::Com;
    com.portName = "/dev/pts/7";
    com.speed = "115200,n,8,1";
    com.ip = "127.0.0.11";  // inactive page: not taken
    pb::SaveLinkSettings(s, com);
    s.languageFlag = "ChineseBIG5";
    pb::SaveLanguage(s);
    s.firmwareFile = "/home/bench/固件/KV410 v2.KVF";
    pb::SaveFirmwareFile(s);

    pb::Settings reloaded;
    EXPECT_EQ(pb::LoadSettings(reloaded), 0);
    EXPECT_EQ(reloaded.link.portName, "/dev/pts/7");
    EXPECT_EQ(reloaded.link.speed, "115200,n,8,1");
    EXPECT_EQ(reloaded.link.ip, "192.168.1.101");
    EXPECT_EQ(reloaded.link.tcpPort, "5003");
    EXPECT_EQ(reloaded.language, pb::Language::TraditionalChinese);
    EXPECT_EQ(reloaded.firmwareFile, "/home/bench/固件/KV410 v2.KVF");
}

TEST_F(SettingsStore, EachSaveWritesOnlyItsOwnValues) {
    pb::Settings s;
    pb::SaveLanguage(s);
    QSettings stored(file(), QSettings::IniFormat);
    EXPECT_EQ(stored.allKeys(), QStringList{"LanguageFlag"});
}

TEST_F(SettingsStore, UnquotedSerialParametersReadAsOneText) {
    // Written by hand without quotes, as an INI reader would otherwise split it.
    writeFile("[General]\nComBaudRate=38400,e,8,1\n");
    pb::Settings s;
    pb::LoadSettings(s);
    EXPECT_EQ(s.link.speed, "38400,e,8,1");
}

TEST_F(SettingsStore, ATypeThatIsNoNumberEndsTheReadingThere) {
    // Read in order FirmwareFile, TYPE, ComBaudRate, ...: what came before stays.
    writeFile("[General]\nFirmwareFile=/tmp/a.KVF\nTYPE=serial\nComPortName=ttyS4\n");
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 0);
    EXPECT_EQ(s.firmwareFile, "/tmp/a.KVF");
    EXPECT_EQ(s.link.portName, "COM1");
}

TEST_F(SettingsStore, TheOperatorNameIsOptionalAndKeptOnItsOwn) {
    // A file from before the name was kept: everything loads, the name stays empty.
    writeFile("[General]\nTYPE=1\nNetIP=127.0.0.5\nLanguageFlag=ChineseGB\n");
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 1);
    EXPECT_EQ(s.link.ip, "127.0.0.5");
    EXPECT_EQ(s.language, pb::Language::SimplifiedChinese);
    EXPECT_EQ(s.operatorName, "");
    // Saved alone, read back whole (a comma does not split it), even past a broken chain.
    s.operatorName = QString::fromUtf8("Chen, Mei 陈美");
    pb::SaveOperatorName(s);
    writeFile(readFile().replace("TYPE=1", "TYPE=tcp"));
    pb::Settings reloaded;
    pb::LoadSettings(reloaded);
    EXPECT_EQ(reloaded.operatorName, QString::fromUtf8("Chen, Mei 陈美"));
    EXPECT_EQ(reloaded.recordsUrl, "");
    // The shared records' URL likewise, its percent signs and query intact.
    reloaded.recordsUrl = QStringLiteral("postgresql://station@%2Frun%2Fpostgresql:5432/line?sslmode=require&connect_timeout=3");
    pb::SaveRecordsUrl(reloaded);
    pb::Settings again;
    pb::LoadSettings(again);
    EXPECT_EQ(again.recordsUrl, reloaded.recordsUrl);
    EXPECT_EQ(again.operatorName, reloaded.operatorName);
}

TEST_F(SettingsStore, DamagedFileYieldsDefaultsUntilTheNextSave) {
    for (const QByteArray& damaged :
         {QByteArray("\x00\xff\x13garbage without equals\n[General]\nTYPE=1\n", 40),
          QByteArray("[General\nTYPE=1\nNetIP=10.1.1.1\n"),
          QByteArray("[General]\nTYPE=1\n\"unterminated=2\n")}) {
        // A folder of its own for each case: the INI reader caches what it parsed per path.
        QTemporaryDir caseHome;
        qputenv("XDG_CONFIG_HOME", caseHome.path().toLocal8Bit());
        QDir().mkpath(caseHome.path() + "/NORDAX");
        QFile f(pb::SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
        f.close();
        pb::Settings s;
        EXPECT_EQ(pb::LoadSettings(s), 0) << damaged.constData();
        ExpectDefaults(s);
        // A choice made now is kept: the file is readable again afterwards.
        s.languageFlag = "ChineseGB";
        pb::SaveLanguage(s);
        pb::Settings reloaded;
        pb::LoadSettings(reloaded);
        EXPECT_EQ(reloaded.language, pb::Language::SimplifiedChinese) << damaged.constData();
    }
}

TEST_F(SettingsStore, UnreadableOrUnwritableFileIsSilent) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads and writes any file";
    writeFile("[General]\nTYPE=1\n");
    QFile::setPermissions(file(), QFileDevice::Permissions());
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 0);
    ExpectDefaults(s);
    pb::SaveLanguage(s);
    QFile::setPermissions(file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readFile(), "[General]\nTYPE=1\n");
}

TEST_F(SettingsStore, AFolderInPlaceOfTheFileIsSilent) {
    ASSERT_TRUE(QDir().mkpath(file()));
    pb::Settings s;
    EXPECT_EQ(pb::LoadSettings(s), 0);
    ExpectDefaults(s);
    s.firmwareFile = "x.KVF";
    pb::SaveFirmwareFile(s);
    EXPECT_TRUE(QFileInfo(file()).isDir());
}

TEST_F(SettingsStore, FolderThatCannotBeCreatedIsSilent) {
    qputenv("XDG_CONFIG_HOME", "/proc/no-such-folder");
    pb::Settings s;
    s.languageFlag = "ChineseGB";
    pb::SaveLanguage(s);  // nothing to see: no crash, no message
    EXPECT_EQ(pb::LoadSettings(s), 0);
    EXPECT_EQ(s.languageFlag, "ChineseGB");
}

}  // namespace

namespace {

TEST_F(SettingsStore, TheAdapterIsKeptBesideThePortNameAndOldFilesStillLoad) {
    writeFile("[General]\nTYPE=0\nComPortName=ttyUSB0\n");
    pb::Settings old;
    pb::LoadSettings(old);
    EXPECT_EQ(old.link.portName, "ttyUSB0");
    EXPECT_EQ(old.comPortAdapter, "");

    old.comPortAdapter = "usb:0403:6001:sn=A50285BI";
    pb::LinkSettings active;
    active.portName = "ttyUSB0";
    pb::SaveLinkSettings(old, active);
    pb::Settings reloaded;
    pb::LoadSettings(reloaded);
    EXPECT_EQ(reloaded.comPortAdapter, "usb:0403:6001:sn=A50285BI");
    EXPECT_EQ(reloaded.link.portName, "ttyUSB0");
}

}  // namespace

namespace {

TEST_F(SettingsStore, AFileMadeBySavingIsTheOwnersAloneWhateverTheUmask) {
    const mode_t before = ::umask(0);
    pb::Settings s;
    s.recordsUrl = QStringLiteral("postgresql://station@records.line:5432/panelbench");
    pb::SaveRecordsUrl(s);
    pb::SaveOperatorName(s);
    ::umask(before);
    struct stat made {};
    ASSERT_EQ(::stat(QFile::encodeName(file()).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, 0600u);
    pb::Settings read;
    pb::LoadSettings(read);
    EXPECT_EQ(read.recordsUrl, s.recordsUrl);
    // A file the user made keeps the mode the user gave it.
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0640), 0);
    pb::SaveLanguage(s);
    struct stat kept {};
    ASSERT_EQ(::stat(QFile::encodeName(file()).constData(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
}

TEST_F(SettingsStore, TheSerialPortsOptionsAreReadOnTheirOwnAndSurviveASave) {
    pb::Settings s;
    pb::LoadSettings(s);
    EXPECT_TRUE(s.link.lowLatency);
    EXPECT_FALSE(s.link.rs485);
    // Read past a value that stops the chain; a word that means neither leaves the default.
    writeFile("[General]\nTYPE=tcp\nLowLatency=false\nRS485=true\n");
    pb::Settings read;
    pb::LoadSettings(read);
    EXPECT_FALSE(read.link.lowLatency);
    EXPECT_TRUE(read.link.rs485);
    pb::SaveLinkSettings(read, read.link);
    pb::Settings again;
    pb::LoadSettings(again);
    EXPECT_FALSE(again.link.lowLatency);
    EXPECT_TRUE(again.link.rs485);
    writeFile("[General]\nLowLatency=maybe\nRS485=1\n");
    pb::Settings odd;
    pb::LoadSettings(odd);
    EXPECT_TRUE(odd.link.lowLatency);
    EXPECT_TRUE(odd.link.rs485);
}

}  // namespace
