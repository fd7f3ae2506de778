// The unit records and the traffic monitor: the store opened at start, every test run
// and every frame of the link kept, the View menu's windows and the operator's name.
#include <QCoreApplication>

#include "app/OperatorNameDialog.h"
#include "app/RecordsWindow.h"
#include "app/SharedRecordsDialog.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "app/TrafficMonitorWindow.h"
#include "i18n/Messages.h"
#include "i18n/RecordsTexts.h"
#include "i18n/StationTexts.h"
#include "i18n/TrafficTexts.h"
#include "records/RecordStore.h"
#include "records/RecordsStatusText.h"
#include "records/RecordsUploader.h"
#include "records/RunRecordsObserver.h"
#include "traffic/TrafficLog.h"

void TfrmModule::openRecords() {
    // A store that will not open only says so (showRecordsProblem); tests run on.
    records_ = std::make_unique<pb::records::RecordStore>();
    // With a shared server every run is kept here first and queued; the uploader sends
    // them from a thread of its own, so a test never waits on the server.
    const bool shared = !settings_.recordsUrl.isEmpty();
    records_->setOutbox(shared);
    records_->openSqlite();
    startUploader();
    recordsObserver_ = std::make_unique<pb::records::RunRecordsObserver>(*records_);
    recordsObserver_->setOperator(settings_.operatorName);
    trafficLog_ = new pb::TrafficLog(this);
    connect(&link_, &pb::Link::traffic, trafficLog_, &pb::TrafficLog::add);
    connect(&link_, &pb::Link::traffic, recordsObserver_.get(),
            &pb::records::RunRecordsObserver::takeTraffic);
}

void TfrmModule::startUploader() {
    if (settings_.recordsUrl.isEmpty() || !records_->isOpen()) return;
    uploader_ = new pb::records::RecordsUploader(pb::records::RecordStore::DefaultPath(),
                                                 settings_.recordsUrl, 30000, this);
    connect(uploader_, &pb::records::RecordsUploader::progress, this,
            [this](qint64 waiting, const pb::records::RecordsStatus& server) {
                recordsWaiting_ = waiting;
                recordsServer_ = server;
                if (recordsWindow_) recordsWindow_->setWaiting(waiting, server);
            });
}

void TfrmModule::setRecordsUrl(const QString& url) {
    if (url == settings_.recordsUrl) return;
    settings_.recordsUrl = url;
    pb::SaveRecordsUrl(settings_);
    // The old uploader finishes the run in hand; runs ending from now on are queued
    // (or not) for the new server. A records window reopens on the new source.
    delete uploader_;
    uploader_ = nullptr;
    recordsWaiting_ = -1;
    recordsServer_ = {};
    const bool reopen = recordsWindow_ && recordsWindow_->isVisible();
    recordsWindow_.reset();
    sharedRecords_.reset();
    records_->setOutbox(!url.isEmpty());
    startUploader();
    if (reopen) mnuRecordsClick();
}

void TfrmModule::mnuSharedRecordsClick() {
    SharedRecordsDialog dialog(settings_.recordsUrl, pb::LanguageIndex(language_), this);
    if (dialog.exec() == QDialog::Accepted) setRecordsUrl(dialog.url());
}

pb::RunObserver* TfrmModule::runObserver() const {
    return runObserver_ ? runObserver_ : recordsObserver_.get();
}

void TfrmModule::showRecordsProblem() {
    // An open records window shows the run just ended; the server gets it soon.
    if (uploader_) uploader_->kick();
    if (recordsWindow_ && recordsWindow_->isVisible()) recordsWindow_->refresh();
    const auto problem = recordsObserver_->takeNewProblem();
    if (!problem) return;
    const QString text = pb::records::StatusText(*problem, pb::LanguageIndex(language_));
    if (text.isEmpty()) return;
    // After a run its own ending stays in front; the records' news follows it.
    const QString shown = ui_.pnMsg->text();
    const bool afterRun = shown != Msg(pb::MsgId::StartConnectDevice) && !shown.isEmpty();
    setStatus(afterRun ? shown + QStringLiteral("  ") + text : text);
}

void TfrmModule::applyRecordsLanguage() {
    auto& u = ui_;
    u.mnuOperator->setText(pb::Text(pb::RecordText::MenuOperator, pb::LanguageIndex(language_)));
    u.mnuSharedRecords->setText(pb::Text(pb::RecordText::MenuSharedRecords, pb::LanguageIndex(language_)));
    u.mnuView->setText(pb::Text(pb::RecordText::MenuView, pb::LanguageIndex(language_)));
    u.mnuRecords->setText(pb::Text(pb::RecordText::MenuRecords, pb::LanguageIndex(language_)));
    u.mnuTrafficMonitor->setText(pb::Text(pb::TrafficText::MenuEntry, pb::LanguageIndex(language_)));
    if (recordsWindow_) recordsWindow_->setLanguage(pb::LanguageIndex(language_));
    u.mnuStation->setText(pb::Text(pb::StationText::MenuEntry, pb::LanguageIndex(language_)));
    if (stationWindow_) stationWindow_->setLanguage(pb::LanguageIndex(language_));
    if (trafficWindow_)
        trafficWindow_->setLanguage(pb::LanguageIndex(language_));
    else if (trafficLog_)
        trafficLog_->setLanguage(pb::LanguageIndex(language_));
}

void TfrmModule::mnuOperatorClick() {
    OperatorNameDialog dialog(settings_.operatorName, pb::LanguageIndex(language_), this);
    if (dialog.exec() != QDialog::Accepted) return;
    settings_.operatorName = dialog.name();
    pb::SaveOperatorName(settings_);
    recordsObserver_->setOperator(settings_.operatorName);
    if (stationWindow_) stationWindow_->setRecords(records_.get(), settings_.operatorName);
}

void TfrmModule::mnuRecordsClick() {
    if (!recordsWindow_) {
        // The shared records when a server is set and answers; else this PC's, saying why.
        pb::records::RecordStore* shown = records_.get();
        if (uploader_) {
            sharedRecords_ = std::make_unique<pb::records::RecordStore>();
            // Read here, kept by the stations: the window neither makes nor upgrades it.
            if (sharedRecords_->openUrl(settings_.recordsUrl, pb::records::RecordStore::Access::ReadOnly).ok())
                shown = sharedRecords_.get();
            else if (recordsServer_.ok())
                recordsServer_ = sharedRecords_->status();
        }
        recordsWindow_ = std::make_unique<RecordsWindow>(*shown, pb::LanguageIndex(language_));
        recordsWindow_->setWaiting(recordsWaiting_, recordsServer_);
    } else {
        recordsWindow_->refresh();
    }
    recordsWindow_->show();
    recordsWindow_->raise();
    recordsWindow_->activateWindow();
}

void TfrmModule::mnuTrafficMonitorClick() {
    if (!trafficWindow_) {
        trafficLog_->setLanguage(pb::LanguageIndex(language_));
        trafficWindow_ = std::make_unique<pb::TrafficMonitorWindow>(trafficLog_);
    }
    trafficWindow_->show();
    trafficWindow_->raise();
    trafficWindow_->activateWindow();
}

void TfrmModule::closeToolWindows() {
    if (recordsWindow_) recordsWindow_->close();
    if (trafficWindow_) trafficWindow_->close();
    if (stationWindow_) stationWindow_->close();
}
