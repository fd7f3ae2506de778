#pragma once
// Loading the station's recipe: the recipe, or the text that lists its mistakes (one a
// line, each with its line and field) in the station's language.

#include <QString>
#include <optional>

#include "recipes/Recipe.h"

namespace pb {

struct StationRecipe {
    std::optional<Recipe> recipe;
    QString mistakes;  // set exactly when `recipe` is empty
};

StationRecipe LoadStationRecipe(const QString& path, int language);

}  // namespace pb
