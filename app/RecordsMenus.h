#pragma once
// The window's menu entries over the unit records and the windows beside it: the
// operator's name, the shared records server, the records, the traffic monitor, the line's
// overview and the test station (a recipe's, or a fixture's for all its sockets). It opens
// the records at start and lets them and the traffic log hear every frame of the link.

#include <QObject>
#include <functional>
#include <memory>

#include "app/SecondaryWindows.h"
#include "app/TfrmModuleUi.h"
#include "app/WindowRecords.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "procedures/TestRunView.h"
#include "settings/Settings.h"

namespace pb {

class RecordsMenus : public QObject {
    Q_OBJECT
public:
    // On the window's settings (server, operator, recipe and language, saved when changed)
    // and menus; a station opens on the link settings `shownLink` gives as it starts.
    RecordsMenus(QWidget* window, Settings& settings, Link& link, Ui::TfrmModule& ui,
                 std::function<LinkSettings()> shownLink);

    WindowRecords& records() { return *records_; }
    SecondaryWindows& windows() { return *windows_; }

    // Keeps `url` as the shared records server (empty: none) and restarts the uploader.
    void setRecordsUrl(const QString& url);
    // Opens the test station on this recipe or fixture file and remembers it. Empty when
    // opened; else why not: the file's mistakes, or the units still running on the
    // station open now.
    QString openStation(const QString& recipePath);
    // A test ended (or the window is shown): an open records window shows the run and the
    // server gets it soon; the status line of `view` says once why the records are off, if
    // they are, after the run's own ending.
    void runEnded(TestRunView& view);
    void applyLanguage();

    void mnuOperatorClick();
    void mnuSharedRecordsClick();
    void mnuRecordsClick();
    void mnuTrafficMonitorClick();
    void mnuLineOverviewClick();
    // Asks for a recipe file, then openStation.
    void mnuStationClick();

private:
    void showLineOverviewEntry();
    QString openFixtureStation(const QString& fixturePath);
    int language() const { return LanguageIndex(settings_.language); }

    QWidget* window_;
    Settings& settings_;
    Ui::TfrmModule& ui_;
    std::function<LinkSettings()> shownLink_;
    // The windows over the records go first.
    std::unique_ptr<WindowRecords> records_;
    std::unique_ptr<SecondaryWindows> windows_;
};

}  // namespace pb
