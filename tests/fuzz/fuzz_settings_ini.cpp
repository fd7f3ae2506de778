// The settings loader with arbitrary INI content, as a crash mid-write or a person with a
// text editor could leave it. The file is written once per input to the settings path
// under a fixed temporary XDG_CONFIG_HOME.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QTimeZone>
#include <unordered_set>
#include <QTemporaryDir>

#include "settings/Settings.h"
#include "tests/fuzz/FuzzCheck.h"

// A "@Variant(...)" value is decoded by Qt's data stream, which may ask for many gigabytes
// from a few bytes of file. The real allocator refuses and Qt copes; the sanitizer's
// allocator must refuse likewise instead of stopping the run.
#if defined(__SANITIZE_ADDRESS__)
#define PANELBENCH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PANELBENCH_ASAN 1
#endif
#endif
#ifdef PANELBENCH_ASAN
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

using pb::Settings;

struct Scratch {
    Scratch() {
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        path = pb::SettingsFilePath();
        QDir().mkpath(QFileInfo(path).path());
        FUZZ_REQUIRE(path.startsWith(dir.path()));
    }
    QTemporaryDir dir;
    QString path;
    QString copy = dir.filePath(QStringLiteral("copy.conf"));
    qint64 writes = 0;
    std::unordered_set<size_t> roundTripped;
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// Writes the file and gives it a modification time of its own: the settings reader keeps
// files it has read and takes an unchanged size and time as an unchanged file.
void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    FUZZ_REQUIRE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(out.write(bytes) == bytes.size());
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++scratch().writes, QTimeZone::utc());
    FUZZ_REQUIRE(out.setFileTime(stamp, QFileDevice::FileModificationTime));
}

bool Same(const Settings& a, const Settings& b) {
    return a.link.kind == b.link.kind && a.link.portName == b.link.portName && a.link.speed == b.link.speed &&
           a.link.ip == b.link.ip && a.link.tcpPort == b.link.tcpPort && a.languageFlag == b.languageFlag &&
           a.language == b.language && a.firmwareFile == b.firmwareFile;
}

// Values a window could hold before loading: not the defaults, so "left as it is" shows.
Settings Before() {
    Settings s;
    s.link.kind = pb::LinkKind::Net;
    s.link.portName = QStringLiteral("/dev/pts/7");
    s.link.speed = QStringLiteral("9600,n,8,1");
    s.link.ip = QStringLiteral("127.0.0.1");
    s.link.tcpPort = QStringLiteral("6000");
    s.languageFlag = QStringLiteral("ChineseGB");
    s.language = pb::Language::SimplifiedChinese;
    s.firmwareFile = QStringLiteral("/tmp/a.KVF");
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Scratch& s = scratch();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    WriteFile(s.path, bytes);

    Settings loaded = Before();
    const int storedKind = pb::LoadSettings(loaded);

    // The language belongs to its stored name.
    FUZZ_REQUIRE(loaded.language == pb::LanguageFor(loaded.languageFlag));
    const bool untouched = Same(loaded, Before());
    if (!untouched) FUZZ_REQUIRE(loaded.link.kind == (storedKind != 0 ? pb::LinkKind::Net : pb::LinkKind::Com));

    // A file that is not text (a NUL byte or broken UTF-8) leaves every value as it is.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (bytes.contains('\0') || utf8.hasError()) FUZZ_REQUIRE(untouched && storedKind == 0);

    // Reading is repeatable.
    Settings again = Before();
    FUZZ_REQUIRE(pb::LoadSettings(again) == storedKind && Same(again, loaded));

    // What was loaded, saved the way the window saves it, loads back the same. Saving
    // takes nine tenths of the time, and most inputs load values already tried: each
    // distinct set of values makes the round trip once per run.
    const QString values = QStringList{QString::number(int(loaded.link.kind)), loaded.link.portName, loaded.link.speed,
                                       loaded.link.ip, loaded.link.tcpPort, loaded.languageFlag, loaded.firmwareFile}
                               .join(QChar(0));
    if (s.roundTripped.size() > 500000) s.roundTripped.clear();
    if (!s.roundTripped.insert(qHash(values, 0)).second) return 0;
    QFile::remove(s.copy);
    Settings saved = loaded;
    pb::SaveLinkSettings(saved, loaded.link, s.copy);
    pb::SaveLanguage(saved, s.copy);
    pb::SaveFirmwareFile(saved, s.copy);
    FUZZ_REQUIRE(Same(saved, loaded));
    Settings reloaded;
    const int reloadedKind = pb::LoadSettings(reloaded, s.copy);
    FUZZ_REQUIRE(reloadedKind == int(loaded.link.kind));
    FUZZ_REQUIRE(Same(reloaded, loaded));
    return 0;
}
