#include "app/SecondaryWindows.h"

#include "app/GangStationWindow.h"
#include "app/LineOverviewWindow.h"
#include "app/RecordsWindow.h"
#include "app/StationWindow.h"
#include "app/TrafficMonitorWindow.h"
#include "app/WindowRecords.h"
#include "traffic/TrafficLog.h"

namespace pb {

namespace {
void Raise(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}
}  // namespace

SecondaryWindows::SecondaryWindows(WindowRecords& records, QObject* parent)
    : QObject(parent), records_(records), trafficLog_(new TrafficLog(this)) {
    connect(&records_, &WindowRecords::progress, this,
            [this](qint64 waiting, const records::RecordsStatus& server) {
                if (recordsWindow_) recordsWindow_->setWaiting(waiting, server);
            });
    connect(&records_, &WindowRecords::eventsProgress, this, [this](qint64 waiting) {
        if (recordsWindow_) recordsWindow_->setEventsWaiting(waiting);
    });
}

SecondaryWindows::~SecondaryWindows() {
    recordsWindow_.reset();
    trafficWindow_.reset();
    stationWindow_.reset();
    gangWindow_.reset();  // stops its units and waits for their threads
    overviewWindow_.reset();
}

LineOverviewWindow& SecondaryWindows::showLineOverview(const QString& url, int language) {
    if (!overviewWindow_ || overviewUrl_ != url) {
        overviewWindow_ = std::make_unique<LineOverviewWindow>(url, language);
        overviewUrl_ = url;
    } else {
        overviewWindow_->refresh();
    }
    Raise(*overviewWindow_);
    return *overviewWindow_;
}

void SecondaryWindows::dropLineOverview() {
    overviewWindow_.reset();
}

RecordsWindow& SecondaryWindows::showRecords(int language) {
    if (!recordsWindow_) {
        recordsWindow_ = std::make_unique<RecordsWindow>(records_.shownStore(), language);
        recordsWindow_->setWaiting(records_.waiting(), records_.server());
    } else {
        recordsWindow_->refresh();
    }
    Raise(*recordsWindow_);
    return *recordsWindow_;
}

TrafficMonitorWindow& SecondaryWindows::showTrafficMonitor(int language) {
    if (!trafficWindow_) {
        trafficLog_->setLanguage(language);
        trafficWindow_ = std::make_unique<TrafficMonitorWindow>(trafficLog_);
    }
    Raise(*trafficWindow_);
    return *trafficWindow_;
}

StationWindow& SecondaryWindows::showStation(std::unique_ptr<StationWindow> station) {
    gangWindow_.reset();
    stationWindow_ = std::move(station);
    // The station's frames in the traffic monitor too.
    connect(stationWindow_.get(), &StationWindow::traffic, trafficLog_, &TrafficLog::add);
    Raise(*stationWindow_);
    return *stationWindow_;
}

GangStationWindow& SecondaryWindows::showGangStation(std::unique_ptr<GangStationWindow> station) {
    stationWindow_.reset();
    gangWindow_ = std::move(station);
    Raise(*gangWindow_);
    return *gangWindow_;
}

bool SecondaryWindows::recordsShown() const {
    return recordsWindow_ && recordsWindow_->isVisible();
}

void SecondaryWindows::dropRecordsWindow() {
    recordsWindow_.reset();
}

void SecondaryWindows::refreshRecords() {
    if (recordsShown()) recordsWindow_->refresh();
}

void SecondaryWindows::setLanguage(int language) {
    if (recordsWindow_) recordsWindow_->setLanguage(language);
    if (stationWindow_) stationWindow_->setLanguage(language);
    if (gangWindow_) gangWindow_->setLanguage(language);
    if (overviewWindow_) overviewWindow_->setLanguage(language);
    if (trafficWindow_)
        trafficWindow_->setLanguage(language);
    else
        trafficLog_->setLanguage(language);
}

void SecondaryWindows::closeAll() {
    if (recordsWindow_) recordsWindow_->close();
    if (trafficWindow_) trafficWindow_->close();
    if (stationWindow_) stationWindow_->close();
    if (gangWindow_) gangWindow_->close();
    if (overviewWindow_) overviewWindow_->close();
}

}  // namespace pb
