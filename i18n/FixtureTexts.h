#pragma once
// The words of fixtures (several units tested together, one per socket): what the
// checker says of a mistake in a fixture file, and what a fixture's run says of its
// sockets, in the three languages of the message table. "%1", "%2" ... are filled in
// with the values the text names; a mistake's line is worded as a recipe's
// (RecipeProblem::MistakeLine).

#include <QString>
#include <QStringList>

namespace pb {

// A mistake in a fixture file.
enum class FixtureProblem {
    FileUnreadable,     // "%1": file name
    FileNotRegular,     // "%1": file name
    FileTooLarge,       // "%1": file name, "%2": its bytes, "%3": the most a fixture may have
    Syntax,             // "%1": the JSON parser's words
    NotAnObject,
    SchemaUnsupported,  // "%1": the number found
    MissingField,
    WrongType,          // "%1": the JSON type wanted
    UnknownField,
    EmptyText,
    SocketCount,        // "%1": the sockets found, "%2": the most
    DuplicateSocket,    // "%1": the name, "%2": the line of the socket that has it first
    NoLink,
    TwoLinks,           // "%1": the links named
    RecipeNotFound,     // "%1": the path looked at
    InRecipe,           // "%1": the recipe file, "%2": its mistake as the recipe checker words it
    BadTcpAddress,      // "%1": the text written
    BadSpeed,           // "%1": the text written
    BadStart,           // "%1": the text written
    BadAdapter,         // "%1": the text written
    BadDeviceId,        // "%1": the text written
    NotForTcp,          // "%1": the field (speed, rs485)
};

// What a fixture's run says of its sockets.
enum class FixtureText {
    AdapterNotFound,  // "%1": the adapter
    AdapterSeveral,   // "%1": the adapter, "%2": the ports that are it
    SocketLeftOut,    // "%1": the socket
};

QString Text(FixtureProblem id, const QStringList& args, int language);
QString Text(FixtureText id, const QStringList& args, int language);

}  // namespace pb
