#pragma once
// `panelbench --station RECIPE`: the test station alone, without the technicians'
// window, on the stored link settings, language and records.

#include <QString>
#include <optional>

#include "recipes/Recipe.h"

namespace pb {

// Before any window exists (no display needed): the recipe, or nothing when it has
// mistakes, which are then listed on standard error in the stored language.
std::optional<Recipe> LoadRecipeForStation(const QString& recipePath);

// Shows the station and runs until it is closed; remembers the recipe in the settings.
void RunStationAlone(Recipe recipe);

}  // namespace pb
