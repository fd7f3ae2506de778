#pragma once
// Reads a recipe from its JSON text (docs/recipes.md; each kind's fields from its test's
// parameters in the catalogue, docs/tests.md) and checks it: every
// mistake is collected, each with the line and the field it is in, so the engineer can
// fix them all in one pass. A recipe comes back only when there is no mistake.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "i18n/RecipeTexts.h"
#include "recipes/Recipe.h"

namespace pb {

struct RecipeMistake {
    int line = 0;   // from 1; 0 when the file could not be read at all
    QString field;  // "steps[2].retries"; "" for the file as a whole
    RecipeProblem problem = RecipeProblem::Syntax;
    QStringList args;  // the values the problem's text names

    QString text(int language) const;  // "line 12, steps[2].retries: out of range ..."
};

struct RecipeLoad {
    std::optional<Recipe> recipe;  // set exactly when `mistakes` is empty
    QList<RecipeMistake> mistakes;
};

RecipeLoad loadRecipe(const QByteArray& bytes);
RecipeLoad loadRecipeFile(const QString& path);

}  // namespace pb
