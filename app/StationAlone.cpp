#include "app/StationAlone.h"

#include <QApplication>
#include <cstdio>

#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "records/RecordStore.h"
#include "settings/Settings.h"

namespace pb {

std::optional<Recipe> LoadRecipeForStation(const QString& recipePath) {
    Settings settings;
    LoadSettings(settings);
    StationRecipe loaded = LoadStationRecipe(recipePath, LanguageIndex(settings.language));
    if (!loaded.recipe)
        std::fputs((loaded.mistakes + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    return loaded.recipe;
}

void RunStationAlone(Recipe recipe) {
    Settings settings;
    LoadSettings(settings);
    settings.stationRecipe = recipe.sourcePath;
    SaveStationRecipe(settings);
    const LinkSettings link = settings.link;
    // Records that cannot be opened never stop the station: the runs are not kept.
    records::RecordStore records;
    records.openSqlite();
    StationWindow station(std::move(recipe), [link] { return link; }, LanguageIndex(settings.language));
    station.setRecords(&records, settings.operatorName);
    station.show();
    QApplication::exec();
}

}  // namespace pb
