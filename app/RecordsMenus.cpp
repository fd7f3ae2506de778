#include "app/RecordsMenus.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/GangStationWindow.h"
#include "app/OperatorNameDialog.h"
#include "app/SharedRecordsDialog.h"
#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "i18n/GangTexts.h"
#include "i18n/Messages.h"
#include "i18n/OverviewTexts.h"
#include "i18n/RecordsTexts.h"
#include "i18n/StationTexts.h"
#include "i18n/TrafficTexts.h"
#include "multiup/FixtureLoader.h"
#include "records/store/RecordStore.h"
#include "records/store/RecordsStatusText.h"
#include "records/store/RunRecordsObserver.h"
#include "records/sync/StationHeartbeat.h"
#include "traffic/TrafficLog.h"

namespace pb {

RecordsMenus::RecordsMenus(QWidget* window, Settings& settings, Link& link, Ui::TfrmModule& ui,
                           std::function<LinkSettings()> shownLink)
    : window_(window), settings_(settings), ui_(ui), shownLink_(std::move(shownLink)) {
    records_ = std::make_unique<WindowRecords>(settings_.recordsUrl, settings_.operatorName);
    records_->setEvents(settings_);
    windows_ = std::make_unique<SecondaryWindows>(*records_);
    connect(&link, &Link::traffic, &windows_->trafficLog(), &TrafficLog::add);
    connect(&link, &Link::traffic, &records_->observer(), &records::RunRecordsObserver::takeTraffic);
    showLineOverviewEntry();
    connect(ui_.mnuOperator, &QAction::triggered, this, &RecordsMenus::mnuOperatorClick);
    connect(ui_.mnuSharedRecords, &QAction::triggered, this, &RecordsMenus::mnuSharedRecordsClick);
    connect(ui_.mnuRecords, &QAction::triggered, this, &RecordsMenus::mnuRecordsClick);
    connect(ui_.mnuTrafficMonitor, &QAction::triggered, this, &RecordsMenus::mnuTrafficMonitorClick);
    connect(ui_.mnuLineOverview, &QAction::triggered, this, &RecordsMenus::mnuLineOverviewClick);
    connect(ui_.mnuStation, &QAction::triggered, this, &RecordsMenus::mnuStationClick);
}

void RecordsMenus::setRecordsUrl(const QString& url) {
    if (url == settings_.recordsUrl) return;
    settings_.recordsUrl = url;
    SaveRecordsUrl(settings_);
    // A records window reopens on the new source; it goes before the store it shows.
    const bool reopen = windows_->recordsShown();
    windows_->dropRecordsWindow();
    windows_->dropLineOverview();
    records_->setUrl(url);
    showLineOverviewEntry();
    if (reopen) mnuRecordsClick();
}

void RecordsMenus::runEnded(TestRunView& view) {
    records_->runEnded();
    windows_->refreshRecords();
    const auto problem = records_->observer().takeNewProblem();
    const QString text = problem ? records::StatusText(*problem, language()) : QString();
    if (text.isEmpty()) return;
    const QString shown = ui_.pnMsg->text();
    const bool afterRun = shown != Msg(MsgId::StartConnectDevice, settings_.language) && !shown.isEmpty();
    view.setStatus(afterRun ? shown + QStringLiteral("  ") + text : text);
}

void RecordsMenus::applyLanguage() {
    const int l = language();
    ui_.mnuOperator->setText(Text(RecordText::MenuOperator, l));
    ui_.mnuSharedRecords->setText(Text(RecordText::MenuSharedRecords, l));
    ui_.mnuView->setText(Text(RecordText::MenuView, l));
    ui_.mnuRecords->setText(Text(RecordText::MenuRecords, l));
    ui_.mnuTrafficMonitor->setText(Text(TrafficText::MenuEntry, l));
    ui_.mnuLineOverview->setText(Text(OverviewText::MenuEntry, l));
    showLineOverviewEntry();
    ui_.mnuStation->setText(Text(StationText::MenuEntry, l));
    windows_->setLanguage(l);
}

void RecordsMenus::showLineOverviewEntry() {
    // Greyed without a server, and its tool tip says how to set one.
    const bool server = !settings_.recordsUrl.isEmpty();
    ui_.mnuLineOverview->setEnabled(server);
    const QString why = Text(OverviewText::NoServerHint, language());
    ui_.mnuLineOverview->setToolTip(server ? QString(ui_.mnuLineOverview->text()).remove(u'&') : why);
    ui_.mnuLineOverview->setStatusTip(server ? QString() : why);
}

void RecordsMenus::mnuOperatorClick() {
    OperatorNameDialog dialog(settings_.operatorName, language(), window_);
    if (dialog.exec() != QDialog::Accepted) return;
    settings_.operatorName = dialog.name();
    SaveOperatorName(settings_);
    records_->setOperator(settings_.operatorName);
    if (StationWindow* station = windows_->stationWindow()) station->setRecords(&records_->store(), settings_.operatorName);
}

void RecordsMenus::mnuSharedRecordsClick() {
    SharedRecordsDialog dialog(settings_.recordsUrl, language(), window_);
    if (dialog.exec() == QDialog::Accepted) setRecordsUrl(dialog.url());
}

void RecordsMenus::mnuRecordsClick() {
    // The shared records when a server is set and answers; else this PC's, saying why.
    windows_->showRecords(language());
}

void RecordsMenus::mnuTrafficMonitorClick() {
    windows_->showTrafficMonitor(language());
}

void RecordsMenus::mnuLineOverviewClick() {
    if (!settings_.recordsUrl.isEmpty()) windows_->showLineOverview(settings_.recordsUrl, language());
}

void RecordsMenus::mnuStationClick() {
    const QString path = QFileDialog::getOpenFileName(window_, Text(StationText::ChooseRecipe, language()),
                                                      settings_.stationRecipe, Text(StationText::RecipeFilter, language()));
    if (path.isEmpty()) return;
    const QString why = openStation(path);
    if (!why.isEmpty()) QMessageBox::warning(window_, Text(StationText::ChooseRecipe, language()), why);
}

QString RecordsMenus::openStation(const QString& recipePath) {
    // One station at a time: a new recipe replaces the last one unless a unit runs on it.
    if (StationWindow* shown = windows_->stationWindow(); shown && shown->running()) {
        shown->raise();
        return Text(StationText::HintRunning, language()).arg(shown->unitSerial());
    }
    if (GangStationWindow* shown = windows_->gangStationWindow(); shown && shown->running()) {
        shown->raise();
        return shown->hintLabel()->text();
    }
    if (IsFixtureFile(recipePath)) return openFixtureStation(recipePath);
    StationRecipe loaded = LoadStationRecipe(recipePath, language());
    if (!loaded.recipe) return loaded.mistakes;
    settings_.stationRecipe = QFileInfo(recipePath).absoluteFilePath();
    SaveStationRecipe(settings_);
    auto station = std::make_unique<StationWindow>(std::move(*loaded.recipe), shownLink_, language());
    station->setRecords(&records_->store(), settings_.operatorName);
    windows_->showStation(std::move(station));
    return {};
}

// A fixture's station runs all its sockets, each on its own link, its runs in the same records.
QString RecordsMenus::openFixtureStation(const QString& fixturePath) {
    StationFixture loaded = LoadStationFixture(fixturePath, language());
    if (!loaded.fixture) return loaded.mistakes;
    settings_.stationRecipe = QFileInfo(fixturePath).absoluteFilePath();
    SaveStationRecipe(settings_);
    // Each socket's thread opens this PC's records file for itself; a store that did not
    // open (or is a server's) keeps nothing from the fixture either.
    records::RecordStore& store = records_->store();
    const QString path = store.isOpen() && !store.isServer() ? store.where() : QString();
    GangRecords records{path, !records_->url().isEmpty(), settings_.operatorName, {}, records_->eventsOn()};
    const QString product = loaded.fixture->recipe.product;
    auto station = std::make_unique<GangStationWindow>(std::move(*loaded.fixture), language(), records);
    // The line's overview says what the fixture tests while it runs.
    connect(station.get(), &GangStationWindow::fixtureStarted, this,
            [this, product](int units) { records_->setActivity({true, product, units, 0}); });
    // The uploader sends the fixture's runs once they are kept.
    connect(station.get(), &GangStationWindow::fixtureEnded, this, [this] {
        records_->setActivity({});
        records_->runEnded();
    });
    windows_->showGangStation(std::move(station));
    return {};
}

}  // namespace pb
