// File > Station mode: the test station opened beside the window, on the window's link
// settings, records and language; a fixture file opens the station for all its sockets,
// each on its own link, its runs in the same records.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/GangStationWindow.h"
#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "multiup/FixtureLoader.h"
#include "i18n/GangTexts.h"
#include "i18n/StationTexts.h"
#include "records/store/RecordStore.h"
#include "records/sync/StationHeartbeat.h"

void TfrmModule::mnuStationClick() {
    const int language = pb::LanguageIndex(language_);
    const QString path = QFileDialog::getOpenFileName(
        this, pb::Text(pb::StationText::ChooseRecipe, language), settings_.stationRecipe,
        pb::Text(pb::StationText::RecipeFilter, language));
    if (path.isEmpty()) return;
    const QString why = openStation(path);
    if (!why.isEmpty()) QMessageBox::warning(this, pb::Text(pb::StationText::ChooseRecipe, language), why);
}

QString TfrmModule::openStation(const QString& recipePath) {
    const int language = pb::LanguageIndex(language_);
    // One station at a time: a new recipe replaces the last one unless a unit runs on it.
    if (pb::StationWindow* shown = windows_->stationWindow(); shown && shown->running()) {
        shown->raise();
        return pb::Text(pb::StationText::HintRunning, language).arg(shown->unitSerial());
    }
    if (pb::GangStationWindow* shown = windows_->gangStationWindow(); shown && shown->running()) {
        shown->raise();
        return shown->hintLabel()->text();
    }
    if (pb::IsFixtureFile(recipePath)) return openFixtureStation(recipePath);
    pb::StationRecipe loaded = pb::LoadStationRecipe(recipePath, language);
    if (!loaded.recipe) return loaded.mistakes;
    settings_.stationRecipe = QFileInfo(recipePath).absoluteFilePath();
    pb::SaveStationRecipe(settings_);
    auto station = std::make_unique<pb::StationWindow>(
        std::move(*loaded.recipe), [this] { return shownLinkSettings(); }, language);
    station->setRecords(&records_->store(), settings_.operatorName);
    windows_->showStation(std::move(station));
    return {};
}

QString TfrmModule::openFixtureStation(const QString& fixturePath) {
    const int language = pb::LanguageIndex(language_);
    pb::StationFixture loaded = pb::LoadStationFixture(fixturePath, language);
    if (!loaded.fixture) return loaded.mistakes;
    settings_.stationRecipe = QFileInfo(fixturePath).absoluteFilePath();
    pb::SaveStationRecipe(settings_);
    // Each socket's thread opens this PC's records file for itself; a store that did not
    // open (or is a server's) keeps nothing from the fixture either.
    pb::records::RecordStore& store = records_->store();
    const QString path = store.isOpen() && !store.isServer() ? store.where() : QString();
    pb::GangRecords records{path, !records_->url().isEmpty(), settings_.operatorName, {}, records_->eventsOn()};
    const QString product = loaded.fixture->recipe.product;
    auto station = std::make_unique<pb::GangStationWindow>(std::move(*loaded.fixture), language, records);
    // The line's overview says what the fixture tests while it runs.
    connect(station.get(), &pb::GangStationWindow::fixtureStarted, this, [this, product](int units) {
        records_->setActivity({true, product, units, 0});
    });
    // The uploader sends the fixture's runs once they are kept.
    connect(station.get(), &pb::GangStationWindow::fixtureEnded, this, [this] {
        records_->setActivity({});
        records_->runEnded();
    });
    windows_->showGangStation(std::move(station));
    return {};
}
