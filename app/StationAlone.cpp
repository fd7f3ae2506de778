#include "app/StationAlone.h"

#include <QApplication>
#include <cstdio>

#include "app/GangStationWindow.h"
#include "app/StationRecipe.h"
#include "app/WindowEvents.h"
#include "app/StationWindow.h"
#include "multiup/FixtureLoader.h"
#include "records/store/RecordStore.h"
#include "settings/Settings.h"

namespace pb {

std::optional<StationFile> LoadStationFile(const QString& path) {
    Settings settings;
    LoadSettings(settings);
    const int language = LanguageIndex(settings.language);
    if (IsFixtureFile(path)) {
        StationFixture loaded = LoadStationFixture(path, language);
        if (loaded.fixture) return StationFile(std::move(*loaded.fixture));
        std::fputs((loaded.mistakes + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        return std::nullopt;
    }
    StationRecipe loaded = LoadStationRecipe(path, language);
    if (loaded.recipe) return StationFile(std::move(*loaded.recipe));
    std::fputs((loaded.mistakes + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    return std::nullopt;
}

namespace {

void RunRecipeStation(Recipe recipe, const Settings& settings) {
    const LinkSettings link = settings.link;
    // Records that cannot be opened never stop the station: the runs are not kept.
    records::RecordStore records;
    records.setEventOutbox(!settings.eventsUrl.isEmpty());
    records.openSqlite();
    const auto events = StartEvents(settings, records.isOpen() ? records.where() : QString());
    StationWindow station(std::move(recipe), [link] { return link; }, LanguageIndex(settings.language));
    station.setRecords(&records, settings.operatorName);
    station.show();
    QApplication::exec();
}

void RunFixtureStation(Fixture fixture, const Settings& settings) {
    // Each socket's thread opens the records for itself; with a shared server set they
    // queue every run for it (the window's uploader sends them).
    GangRecords records{records::RecordStore::DefaultPath(), !settings.recordsUrl.isEmpty(), settings.operatorName, {},
                        !settings.eventsUrl.isEmpty()};
    const auto events = StartEvents(settings, records.path);
    GangStationWindow station(std::move(fixture), LanguageIndex(settings.language), records);
    station.show();
    QApplication::exec();
}

}  // namespace

void RunStationAlone(StationFile file) {
    Settings settings;
    LoadSettings(settings);
    settings.stationRecipe = std::visit([](const auto& f) { return f.sourcePath; }, file);
    SaveStationRecipe(settings);
    if (auto* recipe = std::get_if<Recipe>(&file)) RunRecipeStation(std::move(*recipe), settings);
    else RunFixtureStation(std::move(std::get<Fixture>(file)), settings);
}

}  // namespace pb
