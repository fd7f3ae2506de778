#pragma once
// A test's command on the command line, read from its parameters in the catalogue: the
// options every test takes (for the parser), and a command's arguments and options into
// the step it runs. The command line's own options (links, records, output) are its own.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "catalogue/TestCatalogue.h"

namespace pb {

// Every option a test takes, each once.
QList<QCommandLineOption> TestOptions();

// The command's step from its arguments (after the command) and the options the parser
// read; why not, in the words of a usage error, when they do not fit: a wrong count of
// arguments, a value out of range, an option another command takes. `typed`: the command
// as it was given (its name or its records name), for the words.
std::optional<QString> ReadCommandArguments(const TestDescriptor& test, const QStringList& arguments,
                                            const QCommandLineParser& parser, RecipeStep& step,
                                            const QString& typed = {});

}  // namespace pb
