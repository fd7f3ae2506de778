#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QStringTokenizer>
#include <optional>

namespace pb {
namespace {

// A plain INI reader sees "19200,e,8,1" unquoted as a list; the store means one text.
bool ReadText(const QSettings& store, const QString& key, QString& into) {
    if (!store.contains(key)) return true;
    const QVariant value = store.value(key);
    if (value.typeId() == QMetaType::QStringList) {
        into = value.toStringList().join(u',');
        return true;
    }
    if (!value.canConvert<QString>()) return false;
    into = value.toString();
    return true;
}

bool ReadInteger(const QSettings& store, const QString& key, int& into) {
    if (!store.contains(key)) return true;
    bool ok = false;
    const int number = store.value(key).toString().trimmed().toInt(&ok, 10);
    if (!ok) return false;
    into = number;
    return true;
}

// "true"/"false" (as QSettings writes them) or 1/0; anything else leaves the value.
void ReadSwitch(const QSettings& store, const QString& key, bool& into) {
    if (!store.contains(key)) return;
    const QString text = store.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) into = true;
    else if (text == QLatin1String("false") || text == QLatin1String("0")) into = false;
}

// The part of a line the INI reader takes: a backslash escapes the next character, a '"'
// opens or closes a quote, and a ';' outside quotes starts a comment. Nothing when the
// line ends inside a quote or on a backslash: the reader would run on into the next line.
std::optional<QStringView> ReaderLine(QStringView line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\\') {
            if (++i == line.size()) return std::nullopt;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u';' && !quoted) {
            return line.left(i).trimmed();
        }
    }
    if (quoted) return std::nullopt;
    return line;
}

// A file a person or a crash could have damaged: bytes that are not text, or a line
// that is neither blank, a comment, a [section] nor key=value with balanced quotes.
bool IsDamaged(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return true;
    const QByteArray bytes = in.readAll();
    if (bytes.contains('\0')) return true;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) return true;
    // The INI reader ends a line at a CR as well as at an LF.
    text.replace(u'\r', u'\n');
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        const std::optional<QStringView> taken = ReaderLine(line);
        if (!taken) return true;
        if (line.startsWith(u'[')) {
            if (!taken->endsWith(u']')) return true;
            continue;
        }
        if (taken->indexOf(u'=') <= 0) return true;
    }
    return false;
}

// Writes through a store opened for writing; QSettings creates the folder. The file is
// made first, for its owner alone (the shared server's address and the operator are not
// for every user of the PC): QSettings keeps the mode of a file that exists.
// A damaged file is rewritten with what could be read of it plus the new values, so a
// choice made now is kept; a failure to write is silent.
template <typename Write>
void WriteStore(const QString& file, Write write) {
    if (!QFileInfo::exists(file) && QDir().mkpath(QFileInfo(file).absolutePath()))
        QFile(file).open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner);
    QSettings store(file, QSettings::IniFormat);
    write(store);
    store.sync();
}

QString& SettingsFileOverride() {
    static QString file;
    return file;
}

}  // namespace

QString SettingsFilePath() {
    if (!SettingsFileOverride().isEmpty()) return SettingsFileOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/NORDAX/PanelBench.conf");
}

void UseSettingsFile(const QString& file) {
    SettingsFileOverride() = file;
}

Language LanguageFor(const QString& languageFlag) {
    if (languageFlag == QStringView(kLanguageChineseGB)) return Language::SimplifiedChinese;
    if (languageFlag == QStringView(kLanguageChineseBIG5)) return Language::TraditionalChinese;
    return Language::English;
}

QString LanguageFlagFor(Language language) {
    switch (language) {
        case Language::SimplifiedChinese:
            return QString::fromUtf16(kLanguageChineseGB);
        case Language::TraditionalChinese:
            return QString::fromUtf16(kLanguageChineseBIG5);
        case Language::English:
            break;
    }
    return QString::fromUtf16(kLanguageEnglish);
}

int LoadSettings(Settings& settings, const QString& file) {
    int storedKind = 0;
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable() || IsDamaged(file)) return storedKind;
    // The line check above is the judge of a damaged file, not the reader's status: the
    // reader reports a format error only when it parses the file, not when it answers from
    // what it cached of an unchanged file, so the status would differ from load to load.
    const QSettings store(file, QSettings::IniFormat);

    // Read in the fixed order; a value that cannot be read stops the rest.
    Settings read = settings;
    const bool complete = ReadText(store, QStringLiteral("FirmwareFile"), read.firmwareFile) &&
                          ReadInteger(store, QStringLiteral("TYPE"), storedKind) &&
                          ReadText(store, QStringLiteral("ComBaudRate"), read.link.speed) &&
                          ReadText(store, QStringLiteral("ComPortName"), read.link.portName) &&
                          ReadText(store, QStringLiteral("NetIP"), read.link.ip) &&
                          ReadText(store, QStringLiteral("NetPort"), read.link.tcpPort) &&
                          ReadText(store, QStringLiteral("LanguageFlag"), read.languageFlag);
    // The adapter goes with the port name read above; what it holds never stops those.
    if (complete && !ReadText(store, QStringLiteral("ComPortAdapter"), read.comPortAdapter))
        read.comPortAdapter.clear();
    // The operator is read on its own, so that files without it (or with the chain
    // broken above) still give it.
    ReadText(store, QStringLiteral("OperatorName"), read.operatorName);
    ReadText(store, QStringLiteral("StationRecipe"), read.stationRecipe);
    ReadText(store, QStringLiteral("RecordsUrl"), read.recordsUrl);
    ReadText(store, QStringLiteral("EventsUrl"), read.eventsUrl);
    ReadText(store, QStringLiteral("EventsUser"), read.eventsUser);
    ReadText(store, QStringLiteral("EventsPasswordFile"), read.eventsPasswordFile);
    ReadText(store, QStringLiteral("ShiftStarts"), read.shiftStarts);
    if (QString keys; ReadText(store, QStringLiteral("TrustedKeys"), keys)) {
        read.trustedKeys.clear();
        for (const QString& key : keys.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts))
            if (!key.trimmed().isEmpty()) read.trustedKeys << key.trimmed();
    }
    ReadSwitch(store, QStringLiteral("SignedFirmwareOnly"), read.signedFirmwareOnly);
    // The serial port's options, each on its own: a file without them opens as before.
    ReadSwitch(store, QStringLiteral("LowLatency"), read.link.lowLatency);
    ReadSwitch(store, QStringLiteral("RS485"), read.link.rs485);
    read.language = LanguageFor(read.languageFlag);
    read.link.kind = storedKind != 0 ? LinkKind::Net : LinkKind::Com;
    settings = read;
    return storedKind;
}

void SaveLinkSettings(Settings& settings, const LinkSettings& active, const QString& file) {
    settings.link.kind = active.kind;
    if (active.kind == LinkKind::Com) {
        settings.link.portName = active.portName;
        settings.link.speed = active.speed;
    } else {
        settings.link.ip = active.ip;
        settings.link.tcpPort = active.tcpPort;
    }
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("TYPE"), int(settings.link.kind));
        store.setValue(QStringLiteral("NetPort"), settings.link.tcpPort);
        store.setValue(QStringLiteral("NetIP"), settings.link.ip);
        store.setValue(QStringLiteral("ComBaudRate"), settings.link.speed);
        store.setValue(QStringLiteral("ComPortName"), settings.link.portName);
        store.setValue(QStringLiteral("ComPortAdapter"), settings.comPortAdapter);
    });
}

void SaveLanguage(const Settings& settings, const QString& file) {
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("LanguageFlag"), settings.languageFlag);
    });
}

void SaveFirmwareFile(const Settings& settings, const QString& file) {
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("FirmwareFile"), settings.firmwareFile);
    });
}

void SaveOperatorName(const Settings& settings, const QString& file) {
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("OperatorName"), settings.operatorName);
    });
}

void SaveStationRecipe(const Settings& settings, const QString& file) {
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("StationRecipe"), settings.stationRecipe);
    });
}

void SaveRecordsUrl(const Settings& settings, const QString& file) {
    WriteStore(file, [&](QSettings& store) {
        store.setValue(QStringLiteral("RecordsUrl"), settings.recordsUrl);
    });
}

}  // namespace pb
