#pragma once
// Why a test ended as it did, as a value: a named cause and the facts it names. The
// window shows it after the ending's own text ("Command error! the line went away after
// 11 cycles"), the command line puts the same words in its result, and a run's record
// keeps the cause's name and its facts (i18n/EndingTexts.h words it in each language).
// It lives beside its words, below procedures/ and recipes/: a recipe step's verdict and
// a stored run carry it as well as the procedure that found it.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "link/Exchange.h"

namespace pb {

enum class EndingCause {
    None,
    LineWentAwayAfterCycles,  // cycles: the DI/DO cycles finished before the line went
    LineWentAway,             // command: the command it went away at
    NoReply,                  // command
    BadChecksum,              // command
    UnexpectedReply,          // command: a reply came, not of a length the command has
    CommandTooLong,           // nothing was sent
    CommandNotAscii,          // nothing was sent
    NotSent,                  // command: the device took fewer bytes than the frame
    NoControllerAt,           // id: nobody answered "AC" or "AS"
    ModelUnknown,             // the controller answered, its version names no model
    BadRecord,                // a stored record that is not one
    NoFileChosen,
    NoSuchFile,               // path
    FileUnreadable,           // path
    FileTooShort,             // path: shorter than the 16-byte header
    NotAFirmwareFile,         // the header is no printable text
    FileForOtherModel,        // fileModel, controllerModel
    NotIdentified,            // no controller identified to check the file against
    NoLoader,                 // modelKind
    LoaderNotEntered,
    LoaderNotAnswering,
    FlashNotErased,
    EraseFailed,              // block
    BlockNotProgrammed,       // block
    BlockNotReadBack,         // block
    BlockDiffers,             // block
};

struct EndingReason {
    EndingCause cause = EndingCause::None;
    QStringList facts;  // in the order of FactNames(cause)

    explicit operator bool() const { return cause != EndingCause::None; }
    bool operator==(const EndingReason&) const = default;
};

// The stable name of a cause as records keep it: "line-went-away-after-cycles", ...
QString EndingCauseName(EndingCause cause);
// The names of its facts, as records keep them: {"cycles"}, {"fileModel", "controllerModel"}.
QStringList FactNames(EndingCause cause);

// {"cause": name, fact name: value, ...}; empty for no reason.
QJsonObject ToJson(const EndingReason& reason);
// The reason a record kept; none for an object that names no known cause.
std::optional<EndingReason> EndingReasonFromJson(const QJsonObject& json);

// The reason as a list of plain texts, its cause's name first, then its facts: for values
// that keep their arguments as texts (a recipe step's verdict).
QStringList ToArgs(const EndingReason& reason);
// The reason such a list holds; none when its first text names no cause.
std::optional<EndingReason> EndingReasonFromArgs(const QStringList& args);

// What went wrong with an exchange of `command` (the mnemonic and data, without the ID):
// the line gone, no reply, a bad checksum, a text that could not be sent; UnexpectedReply
// for an exchange that did succeed (its reply was not what the command expects).
EndingReason ReasonOf(const Exchange& exchange, const QString& command);

}  // namespace pb
