// The unit records and the traffic monitor: the records opened at start, every test run
// and every frame of the link kept, the View menu's windows and the operator's name.
#include <QCoreApplication>

#include "app/OperatorNameDialog.h"
#include "app/SharedRecordsDialog.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "i18n/Messages.h"
#include "i18n/OverviewTexts.h"
#include "i18n/RecordsTexts.h"
#include "i18n/StationTexts.h"
#include "i18n/TrafficTexts.h"
#include "records/store/RecordStore.h"
#include "records/store/RecordsStatusText.h"
#include "records/store/RunRecordsObserver.h"
#include "traffic/TrafficLog.h"

void TfrmModule::openRecords() {
    records_ = std::make_unique<pb::WindowRecords>(settings_.recordsUrl, settings_.operatorName);
    records_->setEvents(settings_);
    windows_ = std::make_unique<pb::SecondaryWindows>(*records_);
    connect(&link_, &pb::Link::traffic, &windows_->trafficLog(), &pb::TrafficLog::add);
    connect(&link_, &pb::Link::traffic, &records_->observer(),
            &pb::records::RunRecordsObserver::takeTraffic);
    ui_.mnuLineOverview->setEnabled(!settings_.recordsUrl.isEmpty());
}

void TfrmModule::setRecordsUrl(const QString& url) {
    if (url == settings_.recordsUrl) return;
    settings_.recordsUrl = url;
    pb::SaveRecordsUrl(settings_);
    // A records window reopens on the new source; it goes before the store it shows.
    const bool reopen = windows_->recordsShown();
    windows_->dropRecordsWindow();
    windows_->dropLineOverview();
    records_->setUrl(url);
    ui_.mnuLineOverview->setEnabled(!url.isEmpty());
    if (reopen) mnuRecordsClick();
}

void TfrmModule::mnuSharedRecordsClick() {
    SharedRecordsDialog dialog(settings_.recordsUrl, pb::LanguageIndex(language_), this);
    if (dialog.exec() == QDialog::Accepted) setRecordsUrl(dialog.url());
}

pb::RunObserver* TfrmModule::runObserver() const {
    return runObserver_ ? runObserver_ : &records_->observer();
}

void TfrmModule::showRecordsProblem() {
    // An open records window shows the run just ended; the server gets it soon.
    records_->runEnded();
    windows_->refreshRecords();
    const auto problem = records_->observer().takeNewProblem();
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
    u.mnuLineOverview->setText(pb::Text(pb::OverviewText::MenuEntry, pb::LanguageIndex(language_)));
    u.mnuStation->setText(pb::Text(pb::StationText::MenuEntry, pb::LanguageIndex(language_)));
    windows_->setLanguage(pb::LanguageIndex(language_));
}

void TfrmModule::mnuOperatorClick() {
    OperatorNameDialog dialog(settings_.operatorName, pb::LanguageIndex(language_), this);
    if (dialog.exec() != QDialog::Accepted) return;
    settings_.operatorName = dialog.name();
    pb::SaveOperatorName(settings_);
    records_->setOperator(settings_.operatorName);
    if (pb::StationWindow* station = windows_->stationWindow())
        station->setRecords(&records_->store(), settings_.operatorName);
}

void TfrmModule::mnuRecordsClick() {
    // The shared records when a server is set and answers; else this PC's, saying why.
    windows_->showRecords(pb::LanguageIndex(language_));
}

void TfrmModule::mnuLineOverviewClick() {
    if (settings_.recordsUrl.isEmpty()) return;
    windows_->showLineOverview(settings_.recordsUrl, pb::LanguageIndex(language_));
}

void TfrmModule::mnuTrafficMonitorClick() {
    windows_->showTrafficMonitor(pb::LanguageIndex(language_));
}
