#pragma once
// The values kept between runs: the link (its kind and both sets of parameters), the
// language, the last firmware file and the operator's name the run records keep. They
// live in an INI file under the user's configuration folder ($XDG_CONFIG_HOME/NORDAX/PanelBench.conf, keys in [General]).
// Every read or write failure is silent: the in-memory values stay as they are.

#include <QString>
#include <QStringList>

#include "i18n/Language.h"
#include "link/LinkSettings.h"

namespace pb {

// Language names as stored under "LanguageFlag".
inline constexpr char16_t kLanguageEnglish[] = u"English";
inline constexpr char16_t kLanguageChineseGB[] = u"ChineseGB";
inline constexpr char16_t kLanguageChineseBIG5[] = u"ChineseBIG5";

// The in-memory copies the window keeps; the defaults are those used when nothing is
// stored.
struct Settings {
    // Stored as "TYPE" (0 serial, 1 TCP), "ComPortName", "ComBaudRate", "NetIP", "NetPort";
    // the serial port's "LowLatency" (default true) and "RS485" (default false) are read
    // only: set in the file, they are never written over.
    LinkSettings link;
    QString languageFlag = QStringLiteral("English");
    Language language = Language::English;
    QString firmwareFile = QStringLiteral("KV320MX.KVF");
    // The adapter behind comPortName ("ComPortAdapter"), so that it is found again under
    // another name; empty when unknown. Files without it load as before.
    QString comPortAdapter;
    QString operatorName;  // "OperatorName"; empty until set from the File menu
    QString stationRecipe;  // "StationRecipe": the recipe file station mode last ran
    // "RecordsUrl": the shared records server every run also goes to
    // (postgresql://user@host:port/db); empty: this PC's file only. Never a password.
    QString recordsUrl;
    // "EventsUrl": the plant's MQTT broker every unit test is published to as it ends
    // (mqtt://host:port/prefix, mqtts://...); empty: none. "EventsUser" and
    // "EventsPasswordFile" (a file whose first line is the password): never a password here.
    QString eventsUrl;
    QString eventsUser;
    QString eventsPasswordFile;
    // "ShiftStarts": where the line's shifts begin, for the records' figures per shift
    // ("06:00,14:00,22:00"); read only, set in the file.
    QString shiftStarts = QStringLiteral("06:00,14:00,22:00");
    // "TrustedKeys": the minisign public key files whose signed firmware releases are
    // trusted, separated by ',' or ';'; "SignedFirmwareOnly": unsigned firmware is refused.
    // Both read only, set in the file.
    QStringList trustedKeys;
    bool signedFirmwareOnly = false;
};

// Where the values are stored: the file named to UseSettingsFile, else the default one,
// which follows XDG_CONFIG_HOME at the time of the call.
QString SettingsFilePath();
// Stores the values in `file` from now on (the window's --settings FILE); an empty name
// goes back to the default file.
void UseSettingsFile(const QString& file);

// Simplified Chinese for exactly "ChineseGB", Traditional for exactly "ChineseBIG5", else
// English.
Language LanguageFor(const QString& languageFlag);
// The stored name of the language.
QString LanguageFlagFor(Language language);

// Reads the stored values over `settings` and returns the stored link kind ("TYPE" as
// stored, 0 when absent; any non-zero value means TCP). A missing, unreadable or damaged
// file leaves every value as it is. A value of the wrong type ends the reading there.
int LoadSettings(Settings& settings, const QString& file = SettingsFilePath());

// Takes the link kind and the active pair from `active` (the window's link controls),
// then writes "TYPE" (0 or 1) and all four link texts. The pair not in use is written as
// last loaded or last copied.
void SaveLinkSettings(Settings& settings, const LinkSettings& active,
                      const QString& file = SettingsFilePath());

// Writes "LanguageFlag".
void SaveLanguage(const Settings& settings, const QString& file = SettingsFilePath());

// Writes "FirmwareFile".
void SaveFirmwareFile(const Settings& settings, const QString& file = SettingsFilePath());

// Writes "OperatorName".
void SaveOperatorName(const Settings& settings, const QString& file = SettingsFilePath());

// Writes "StationRecipe".
void SaveStationRecipe(const Settings& settings, const QString& file = SettingsFilePath());
// Writes "RecordsUrl".
void SaveRecordsUrl(const Settings& settings, const QString& file = SettingsFilePath());

}  // namespace pb
