#include "app/StationRecipe.h"

#include <QFileInfo>

#include "multiup/FixtureLoader.h"
#include "i18n/GangTexts.h"
#include "i18n/StationTexts.h"
#include "catalogue/RecipeLoader.h"
#include "settings/Settings.h"

namespace pb {
namespace {

// The station's firmware trust: this PC's trusted keys, and SignedFirmwareOnly.
void TrustStationFirmware(Recipe& recipe) {
    Settings settings;
    LoadSettings(settings);
    recipe.trustFirmware(settings.trustedKeys, settings.signedFirmwareOnly);
}

}  // namespace

StationRecipe LoadStationRecipe(const QString& path, int language) {
    RecipeLoad load = loadRecipeFile(path);
    if (load.recipe) {
        TrustStationFirmware(*load.recipe);
        return {std::move(load.recipe), {}};
    }
    QStringList lines{Text(StationText::RecipeMistakes, language).arg(QFileInfo(path).fileName())};
    for (const RecipeMistake& mistake : load.mistakes) lines << mistake.text(language);
    return {std::nullopt, lines.join(QLatin1Char('\n'))};
}

StationFixture LoadStationFixture(const QString& path, int language) {
    FixtureLoad load = loadFixtureFile(path);
    if (load.fixture) {
        TrustStationFirmware(load.fixture->recipe);
        return {std::move(load.fixture), {}};
    }
    QStringList lines{Text(GangText::FixtureMistakes, language).arg(QFileInfo(path).fileName())};
    for (const FixtureMistake& mistake : load.mistakes) lines << mistake.text(language);
    return {std::nullopt, lines.join(QLatin1Char('\n'))};
}

}  // namespace pb
