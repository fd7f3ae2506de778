#pragma once
// What a recipe step is called where it is shown: the engineer's label, else the name of the
// test it runs, in the language asked for (the catalogue's words for the test).

#include <QString>

#include "recipes/Recipe.h"

namespace pb {

// A step's name on the station: the engineer's label, else its test's name in this language.
QString StepName(const RecipeStep& step, int language);
// A step's label as the records and the command line keep it: the engineer's label, else
// its kind's name ("identify", "dido").
QString KeptStepLabel(const RecipeStep& step);
// A recipe step's label as kept (its kind's name when the recipe gave none) in `language`:
// a kind's name is shown as its test's name in every language, an engineer's label as it is.
QString ShownStepLabel(const QString& kind, const QString& label, int language);

}  // namespace pb
