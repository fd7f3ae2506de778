#pragma once
// Why an ending came about, as data: one code from a fixed list and the values that code
// names ({"code": "line-lost", "exchanges": 102, "command": "DG0"}). Every ending of a
// test, a recipe step and a unit test carries exactly one; the records, exports and live
// events keep the code and its values, never words. Words are made from them only when
// shown, in the reader's language (i18n/CauseTexts.h).
//
//   Cause c = Cause::of(CauseCode::InputMismatch, {3, "1010", "10110000", "1x100000", 4});
//   c.name();                  // "input-mismatch"
//   c.number("cycle");         // 3
//   ToJson(c);                 // {"code": "input-mismatch", "cycle": 3, ...}

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace pb {

// In this order in the table of causes (evidence/Cause.cpp); docs/records.md lists them.
enum class CauseCode {
    // Endings that went well, some with a note.
    Ok,
    UpgradeNotNeeded,   // version, wanted
    BlocksLeftOut,      // left, taken: passed without the blocks beyond the model's cap
    NothingProgrammed,  // the file held no image after its header
    // The link and the line.
    LinkOpenFailed,  // kind (the open failure's name), detail (the system's words)
    LineLost,        // exchanges (answered before the line went), command (in hand)
    NoReply,         // command
    BadChecksum,     // command
    BadReply,        // command, length: a reply came, not of a shape the command has
    CommandTooLong,
    CommandNotAscii,
    NotSent,  // command: the device took fewer bytes than the frame
    // The controller.
    NoController,  // id: nobody answered "AC" or "AS"
    ModelUnknown,  // the controller answered; its version names no model
    NotIdentified,
    ModelKindMismatch,  // found, expected
    ModelMismatch,      // found, expected
    VersionUnreadable,  // version
    VersionOutOfRange,  // found, range
    SerialMismatch,     // reported, scanned
    InputMismatch,      // cycle, outputs, inputs, expected, input (the first DI that differs)
    InputNotRead,       // cycle, input
    ReplyMismatch,      // reply, pattern
    TooFewRecords,      // found, least
    TooManyRecords,     // found, most
    BadRecord,
    NotBackAfterRestart,  // seconds
    // The firmware file and its release.
    FileNotChosen,
    FileMissing,        // path
    FileUnreadable,     // path
    FileTooShort,       // path
    FileNotFirmware,
    FileForOtherModel,  // fileModel, controllerModel
    FileHashMismatch,   // sha256: the file's, not the one pinned
    FileNoImage,
    FileTooLarge,  // blocks, most
    FileChanged,   // path: it changed while it was read
    Unsigned,
    BadSignature,
    UntrustedKey,    // keyId
    NotForThisModel,  // model, models
    Downgrade,        // unitVersion, imageVersion
    Expired,          // date
    // The loader.
    NoLoader,  // modelKind
    LoaderNotEntered,
    LoaderNotAnswering,
    FlashNotErased,
    EraseFailed,          // block (from 1)
    NotProgrammed,        // block
    NotReadBack,          // block
    VerifyFailed,         // block: read back, not as programmed
    VersionAfterUpgrade,  // found, range
    // Neither the unit nor the line.
    Interrupted,
    Watched,  // no verdict: the technician read the lamps as the test ran
    Unknown,  // text: kept before causes were, the words as they were
};

// How a value of a cause is kept: a whole number or a text.
enum class CauseValueKind { Number, Text };

struct Cause {
    CauseCode code = CauseCode::Ok;
    QJsonObject values;  // by the code's value names (CauseValueNames)

    // The cause with its values given in the order of CauseValueNames(code); a number
    // value takes what QVariant::toLongLong makes of it, a text value its text.
    static Cause of(CauseCode code, const QVariantList& values = {});

    // The code's stable name: "line-lost", "input-mismatch", ...
    QString name() const;
    // An ending that went well (Ok and the notes after it).
    bool passed() const;
    qint64 number(const QString& value) const;
    QString text(const QString& value) const;
    bool operator==(const Cause&) const = default;
};

QString CauseName(CauseCode code);
std::optional<CauseCode> CauseCodeNamed(const QString& name);
// The names of a code's values, in order, and how each is kept.
QStringList CauseValueNames(CauseCode code);
CauseValueKind CauseValueKindOf(CauseCode code, const QString& value);
bool CausePassed(CauseCode code);
// Every code in order, for the docs and the checks that they list every one.
QList<CauseCode> AllCauseCodes();

// {"code": name, value name: value, ...}.
QJsonObject ToJson(const Cause& cause);
// The cause an object holds; none when "code" names no known cause. Values the code does
// not name are dropped, those it names and the object lacks are left out.
std::optional<Cause> CauseFromJson(const QJsonObject& json);

}  // namespace pb
