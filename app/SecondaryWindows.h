#pragma once
// The windows beside the main one: the unit records, the traffic monitor with the log of
// every frame it shows, the test station, and the line's overview. Windows of their own, not children of the
// main window, so they stay usable while a test disables it. Each is made when first
// asked for and kept (the station's is replaced by the next recipe), shown and raised
// when asked again, follows the language, and is closed with the main window.

#include <QObject>
#include <memory>

class RecordsWindow;

namespace pb {

class StationWindow;
class GangStationWindow;
class LineOverviewWindow;
class TrafficLog;
class TrafficMonitorWindow;
class WindowRecords;

class SecondaryWindows : public QObject {
    Q_OBJECT
public:
    // The records window shows what `records` gives it and what still waits for the
    // shared server. The traffic log is made now: it keeps frames before its monitor opens.
    explicit SecondaryWindows(WindowRecords& records, QObject* parent = nullptr);
    // The windows go before the log and the records they show.
    ~SecondaryWindows() override;

    TrafficLog& trafficLog() { return *trafficLog_; }
    // Each window once made; null before.
    RecordsWindow* recordsWindow() const { return recordsWindow_.get(); }
    TrafficMonitorWindow* trafficMonitorWindow() const { return trafficWindow_.get(); }
    StationWindow* stationWindow() const { return stationWindow_.get(); }
    GangStationWindow* gangStationWindow() const { return gangWindow_.get(); }
    LineOverviewWindow* lineOverviewWindow() const { return overviewWindow_.get(); }

    // The records window in `language`, made on the records' shown store when first asked
    // for, else read again; shown, raised and activated.
    RecordsWindow& showRecords(int language);
    // The traffic monitor over the log, in `language` when first made; shown and raised.
    TrafficMonitorWindow& showTrafficMonitor(int language);
    // The line's overview on the shared server `url`, made when first asked for (and
    // anew for another server); shown and raised.
    LineOverviewWindow& showLineOverview(const QString& url, int language);
    // Drops the line's overview, when the shared server changes.
    void dropLineOverview();
    // The station now open, replacing the last one; its frames reach the log too.
    StationWindow& showStation(std::unique_ptr<StationWindow> station);
    // The station for a fixture, likewise: one station at a time, of either kind.
    GangStationWindow& showGangStation(std::unique_ptr<GangStationWindow> station);

    // Whether the records window is on screen.
    bool recordsShown() const;
    // Drops the records window, before the store it shows goes away.
    void dropRecordsWindow();
    // An open records window shows the run just ended.
    void refreshRecords();

    // Language 0, 1 or 2 for each window made, or for the log while its monitor is not.
    void setLanguage(int language);
    // Closes each window made; they are kept, to be shown again.
    void closeAll();

private:
    WindowRecords& records_;
    TrafficLog* trafficLog_;
    std::unique_ptr<RecordsWindow> recordsWindow_;
    std::unique_ptr<TrafficMonitorWindow> trafficWindow_;
    std::unique_ptr<StationWindow> stationWindow_;
    std::unique_ptr<GangStationWindow> gangWindow_;
    std::unique_ptr<LineOverviewWindow> overviewWindow_;
    QString overviewUrl_;
};

}  // namespace pb
