#pragma once
// The words of test recipes: what the checker says of a mistake in a recipe file, and
// why a step passed or failed, in the three languages of the message table (the same
// language index). "%1", "%2" ... are filled in with the values the text names.

#include <QString>
#include <QStringList>

namespace pb {

// A mistake in a recipe file.
enum class RecipeProblem {
    FileUnreadable,     // "%1": file name
    FileNotRegular,     // "%1": file name (a folder, pipe or device)
    FileTooLarge,       // "%1": file name, "%2": its bytes, "%3": the most a recipe may have
    Syntax,             // "%1": the JSON parser's words
    NotAnObject,        // the file is not one JSON object
    SchemaUnsupported,  // "%1": the number found
    MissingField,
    WrongType,  // "%1": the JSON type wanted (string, integer, ...)
    UnknownField,
    UnknownKind,  // "%1": the kind written
    OutOfRange,   // "%1", "%2": smallest and largest allowed
    EmptyText,
    NoSteps,
    BadVersion,  // "%1": the text written
    BadRange,    // minimum above maximum, or no bound at all
    BadSha256,
    BadPattern,  // "%1": how many characters of which kind
    BadRegex,    // "%1": why
    BadTime,
    BadOnFailure,
    MistakeLine,  // the line a mistake is shown in: "%1" line, "%2" field, "%3" problem
};

// Why a step passed or failed.
enum class RecipeReason {
    Passed,
    UpgradeNotNeeded,   // "%1": the version found, "%2": the range wanted
    UpgradedPartly,     // passed with a warning: "%1" blocks left out, "%2" the model's cap
    WrongModelKind,     // "%1": found, "%2": expected
    WrongModelText,     // "%1": found, "%2": expected
    VersionUnreadable,  // "%1": the text reported
    VersionOutOfRange,  // "%1": found, "%2": range
    SerialMismatch,     // "%1": reported, "%2": scanned
    InputsMismatch,     // "%1" cycle, "%2" outputs, "%3" inputs read, "%4" expected
    InputNotRead,       // "%1" cycle, "%2" input number
    InputsUnanswered,   // "%1" the read command, "%2" reads not answered, "%3" of
    ReplyMismatch,      // "%1": reply, "%2": pattern
    NoReply,
    TooFewRecords,         // "%1": found, "%2": at least
    TooManyRecords,        // "%1": found, "%2": at most
    FirmwareHashMismatch,  // "%1": the file's SHA-256
    FirmwareUnreadable,    // "%1": file
    VersionAfterUpgrade,   // "%1": found, "%2": range
    NoAnswerAfterReboot,   // "%1": seconds waited
    CommandFailed,         // "%1": the command
    LinkNotOpened,         // "%1": why
    NoController,          // "%1": the ID asked
    FirmwareRefused,       // "%1": why (model check, no loader)
    FirmwareNoImage,       // the file is a header without an image
    FirmwareTooLarge,      // "%1": the file's blocks, "%2": the most the model reads
    FlashFailed,           // "%1": why
    Interrupted,
    NotRun,
};

// What a step read, shown beside its verdict.
enum class RecipeMeasure {
    None,               // nothing to show
    Identity,           // "%1" ID, "%2" model kind, "%3" version text, "%4" serial
    AlarmLevel,         // "%1": level
    ClockSet,           // "%1": the time sent
    NoAnswerAfterReset,
    BackAfterReset,     // "%1": seconds
    AnsweredAfter,      // "%1": seconds
    NoAnswerWithin,     // "%1": seconds
    PatternsRead,       // "%1" read, "%2" of, "%3" the inputs seen
    PatternsReadSomeNone,  // as PatternsRead, and some reads failed
    PatternsReadNone,      // "%1" read, "%2" of, no inputs at all
    Records,            // "%1": count
    Reply,              // "%1": the reply
    NoReply,
    NotUpgraded,        // "%1": version
    NothingSent,        // "%1": version
    BlocksPartly,       // "%1" programmed, "%2" of, "%3" verified
    BlocksProgrammed,   // "%1": blocks
    Upgraded,           // "%1" version before, "%2" after, "%3" blocks
};

QString Text(RecipeProblem id, int language);
QString Text(RecipeReason id, int language);
QString Text(RecipeMeasure id, int language);
QString Text(RecipeMeasure id, const QStringList& args, int language);
// The texts with their "%1".. filled from `args` in order.
QString Text(RecipeProblem id, const QStringList& args, int language);
QString Text(RecipeReason id, const QStringList& args, int language);
// Fills "%1".."%9" in one pass, so a value that itself holds "%2" stays as it is.
QString FillArgs(const QString& pattern, const QStringList& args);

}  // namespace pb
