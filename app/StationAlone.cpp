#include "app/StationAlone.h"

#include <QApplication>
#include <cstdio>

#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "settings/Settings.h"

namespace pb {

int RunStationAlone(const QString& recipePath) {
    Settings settings;
    LoadSettings(settings);
    const int language = LanguageIndex(settings.language);
    StationRecipe loaded = LoadStationRecipe(recipePath, language);
    if (!loaded.recipe) {
        std::fputs((loaded.mistakes + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        return 2;
    }
    settings.stationRecipe = recipePath;
    SaveStationRecipe(settings);
    const LinkSettings link = settings.link;
    StationWindow station(std::move(*loaded.recipe), [link] { return link; }, language);
    station.show();
    QApplication::exec();
    return 0;
}

}  // namespace pb
