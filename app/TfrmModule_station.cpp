// File > Station mode: the test station opened beside the window, on the window's link
// settings, records and language.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "i18n/StationTexts.h"

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
    pb::StationRecipe loaded = pb::LoadStationRecipe(recipePath, language);
    if (!loaded.recipe) return loaded.mistakes;
    settings_.stationRecipe = QFileInfo(recipePath).absoluteFilePath();
    pb::SaveStationRecipe(settings_);
    auto station = std::make_unique<pb::StationWindow>(
        std::move(*loaded.recipe), [this] { return readLinkSettings(); }, language);
    station->setRecords(&records_->store(), settings_.operatorName);
    windows_->showStation(std::move(station));
    return {};
}
