#pragma once
// The words of test recipes: what the checker says of a mistake in a recipe file, in the
// three languages of the message table (the same language index). "%1", "%2" ... are
// filled in with the values the text names. Why a step passed or failed is its cause's
// words (i18n/CauseTexts.h); what it measured, i18n/MeasurementTexts.h.

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
    BadRetrySteps,  // "%1": the number of the step that holds the retry
    MistakeLine,  // the line a mistake is shown in: "%1" line, "%2" field, "%3" problem
};

QString Text(RecipeProblem id, int language);
// The texts with their "%1".. filled from `args` in order.
QString Text(RecipeProblem id, const QStringList& args, int language);
// Fills "%1".."%9" in one pass, so a value that itself holds "%2" stays as it is.
QString FillArgs(const QString& pattern, const QStringList& args);

}  // namespace pb
