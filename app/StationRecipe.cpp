#include "app/StationRecipe.h"

#include <QFileInfo>

#include "i18n/StationTexts.h"
#include "recipes/RecipeLoader.h"

namespace pb {

StationRecipe LoadStationRecipe(const QString& path, int language) {
    RecipeLoad load = loadRecipeFile(path);
    if (load.recipe) return {std::move(load.recipe), {}};
    QStringList lines{Text(StationText::RecipeMistakes, language).arg(QFileInfo(path).fileName())};
    for (const RecipeMistake& mistake : load.mistakes) lines << mistake.text(language);
    return {std::nullopt, lines.join(QLatin1Char('\n'))};
}

}  // namespace pb
