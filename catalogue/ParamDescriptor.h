#pragma once
// A test's parameter, said once: its field in a recipe step, its argument or option on the
// command line, what kind of value it takes, its help line, and where the value goes in the
// step (recipes/TestParams.h). The recipe loader, the command line's parser, its --help and
// docs/tests.md are all read from these (catalogue/TestCatalogue.cpp).

#include <QVariant>

#include "recipes/Recipe.h"

namespace pb {

enum class ParamKind {
    Integer,       // min..max
    Flag,          // true or false (on the command line: the option alone)
    Text,          // any text, empty too
    NonEmptyText,  // a text with something in it
    Regex,         // a regular expression
    Sha256,        // 64 hexadecimal digits
    DateTime,      // yyyy-mm-ddThh:mm:ss
    Versions,      // {"min": V, "max": V}
    ModelKinds,    // a model kind or a list of them, 0..7
    Outputs,       // up to four '0'/'1': the outputs ticked
    Patterns,      // [{"outputs": "1010", "inputs": "10x00000"}, ...]
    ModuleType,    // the type list's index 0..5 or its letter A B H I J E
    ModuleWord,    // a recipe's module command as one word: type letter, number, command
};

struct ParamDescriptor {
    const char* field = nullptr;   // in a recipe step; null: not in recipes
    const char* option = nullptr;  // on the command line: "--cycles", or a positional's name ("LEVEL")
    const char* metavar = nullptr; // an option's value on --help ("N"); null for a flag
    ParamKind kind = ParamKind::Text;
    int min = 0, max = 0;          // an Integer's range
    bool required = false;         // in a recipe step (a positional argument is always)
    // An option given as often as wanted: its value is the list of them all (QStringList).
    bool repeatable = false;
    const char* help = "";         // one line, for --help and docs/tests.md
    // The value read (its kind's: int, bool, QString, QDateTime, QVariantList ...) into the step.
    void (*set)(RecipeStep& step, const QVariant& value) = nullptr;
    // In a recipe, what a step that leaves the field out gets (invalid: the step's default).
    QVariant absent = {};
    // Another option this one does not go with ("--seconds" for "--cycles").
    const char* excludes = nullptr;

    bool positional() const { return option && option[0] != '-'; }
};

// A kind's value as docs/tests.md names it: "integer 0..6", "true or false", ...
QString KindText(const ParamDescriptor& param);

}  // namespace pb
