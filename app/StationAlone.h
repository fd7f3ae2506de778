#pragma once
// `panelbench --station FILE`: the test station alone, without the technicians' window,
// on the stored link settings, language and records. A recipe opens the single-unit
// station; a fixture file the station that tests all its sockets at once.

#include <QString>
#include <optional>
#include <variant>

#include "multiup/Fixture.h"
#include "recipes/Recipe.h"

namespace pb {

using StationFile = std::variant<Recipe, Fixture>;

// Before any window exists (no display needed): the recipe or fixture, or nothing when it
// has mistakes, which are then listed on standard error in the stored language.
std::optional<StationFile> LoadStationFile(const QString& path);

// Shows the station and runs until it is closed; remembers the file in the settings.
void RunStationAlone(StationFile file);

}  // namespace pb
