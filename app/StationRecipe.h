#pragma once
// Loading the station's recipe or fixture: the value, or the text that lists its mistakes
// (one a line, each with its line and field) in the station's language.

#include <QString>
#include <optional>

#include "multiup/Fixture.h"
#include "recipes/Recipe.h"

namespace pb {

struct StationRecipe {
    std::optional<Recipe> recipe;
    QString mistakes;  // set exactly when `recipe` is empty
};

StationRecipe LoadStationRecipe(const QString& path, int language);

// A fixture for the station, or its mistakes (the recipe's among them) worded the same way.
struct StationFixture {
    std::optional<Fixture> fixture;
    QString mistakes;  // set exactly when `fixture` is empty
};

StationFixture LoadStationFixture(const QString& path, int language);

}  // namespace pb
