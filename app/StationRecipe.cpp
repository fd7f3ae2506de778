#include "app/StationRecipe.h"

#include <QFileInfo>

#include "multiup/FixtureLoader.h"
#include "i18n/GangTexts.h"
#include "i18n/StationTexts.h"
#include "catalogue/RecipeLoader.h"

namespace pb {

StationRecipe LoadStationRecipe(const QString& path, int language) {
    RecipeLoad load = loadRecipeFile(path);
    if (load.recipe) return {std::move(load.recipe), {}};
    QStringList lines{Text(StationText::RecipeMistakes, language).arg(QFileInfo(path).fileName())};
    for (const RecipeMistake& mistake : load.mistakes) lines << mistake.text(language);
    return {std::nullopt, lines.join(QLatin1Char('\n'))};
}

StationFixture LoadStationFixture(const QString& path, int language) {
    FixtureLoad load = loadFixtureFile(path);
    if (load.fixture) return {std::move(load.fixture), {}};
    QStringList lines{Text(GangText::FixtureMistakes, language).arg(QFileInfo(path).fileName())};
    for (const FixtureMistake& mistake : load.mistakes) lines << mistake.text(language);
    return {std::nullopt, lines.join(QLatin1Char('\n'))};
}

}  // namespace pb
