#pragma once
// The one window of the program. It holds the state of a session (settings, link,
// controller state, language) and carries the event handlers; the procedures behind the
// test buttons see it through narrow views: the window itself is the test-run and the
// identify view, its pages show what the other tests report. The unit records are
// WindowRecords' to open and close, the windows beside this one SecondaryWindows'.

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>

#include "app/SecondaryWindows.h"
#include "app/TfrmModuleUi.h"
#include "app/WindowRecords.h"
#include "catalogue/TestRequest.h"
#include "firmware/FirmwareImage.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "procedures/ControllerState.h"
#include "procedures/Procedure.h"
#include "procedures/RunObserver.h"
#include "procedures/TestRunView.h"
#include "settings/Settings.h"

class QFileDialog;

class RecordsWindow;

namespace pb {
class TonePlayer;
}  // namespace pb

class TfrmModule : public QMainWindow, public pb::TestRunView, public pb::IdentifyView {
    Q_OBJECT
public:
    explicit TfrmModule(QWidget* parent = nullptr);
    ~TfrmModule() override;

    // The controls, for the handlers in other files and for tests.
    Ui::TfrmModule& ui() { return ui_; }
    const Ui::TfrmModule& ui() const { return ui_; }

    // Session state.
    const pb::Settings& settings() const { return settings_; }
    pb::Link& link() { return link_; }
    pb::ControllerState& state() { return state_; }

    // Saves the link kind and the active page's link texts (after a link was used well).
    void SaveLinkSettings();
    // Remembers and saves the firmware file just chosen, and shows it in pnFile.
    void SaveFirmwareFile(const QString& fileName);
    // The firmware file-open dialog, made when first needed.
    QFileDialog* dlgLoad();

    // pb::TestRunView
    void setStatus(const QString& text) override;
    void setStatusAdvice(const QString& text) override;
    // Once per port in a session: the status line's tool tip says it for the run.
    void linkNote(const QString& port, const QString& text) override;
    void setLamp(pb::LampColour colour) override;
    void setBusy(bool on) override;
    void setWaitCursor(bool on) override;
    void beep(int frequencyHz, int durationMs) override;
    void processEvents() override;
    // The link settings the link page shows: what a test started now opens.
    pb::LinkSettings shownLinkSettings();
    pb::Language language() const override { return language_; }
    void setWindowEnabled(bool on) override { setEnabled(on); }
    void saveLinkSettings() override { SaveLinkSettings(); }
    // Which pages and buttons stay in reach while a test runs, and after it.
    void testStarted(pb::TestId test) override;
    void testEnded(pb::TestId test, pb::Outcome outcome) override;

    // pb::IdentifyView
    QString idCaption() const override { return ui_.pnID->text(); }
    void setIdPosition(int position) override { ui_.sbID->setValue(position); }
    void setVersionText(const QString& text) override { ui_.pnVER->setText(text); }
    void setSerialNumberText(const QString& text) override { ui_.pnSN->setText(text); }

    // Who hears of every test run instead of the unit records (tests); null: the records.
    void setRunObserver(pb::RunObserver* observer) { runObserver_ = observer; }
    pb::RunObserver* runObserver() const;

    // The unit records (opened at start; off when the store cannot be opened) and the
    // traffic monitor's log of every frame the link carried.
    pb::records::RecordStore& records() { return records_->store(); }
    pb::records::RunRecordsObserver& recordsObserver() { return records_->observer(); }
    pb::TrafficLog& trafficLog() { return windows_->trafficLog(); }
    // The View menu's windows once opened; null before.
    RecordsWindow* recordsWindow() const { return windows_->recordsWindow(); }
    // With a shared records server set: what sends this station's runs to it; else null.
    pb::records::RecordsUploader* recordsUploader() const { return records_->uploader(); }
    // Keeps `url` as the shared records server (empty: none) and restarts the uploader.
    void setRecordsUrl(const QString& url);
    pb::TrafficMonitorWindow* trafficMonitorWindow() const { return windows_->trafficMonitorWindow(); }
    pb::StationWindow* stationWindow() const { return windows_->stationWindow(); }
    pb::GangStationWindow* gangStationWindow() const { return windows_->gangStationWindow(); }
    // Opens the test station on this recipe or fixture file and remembers it
    // (TfrmModule_station.cpp). Empty when opened; else why not: the file's mistakes, or
    // the units still running on the station open now.
    QString openStation(const QString& recipePath);

    // The busy switch: lamp blinking and window disabled while on.
    void SetBusy(bool on) { setBusy(on); }
    // A message of the table in the current language.
    QString Msg(pb::MsgId id) const;
    // The firmware page and, with it, the firmware file menu that feeds it.
    void setFirmwarePageVisible(bool on);
    // The clock of the controller tests' pauses (tests shorten it); null: the window's own.
    void setProcedureClock(pb::Clock* clock) { procedureClock_ = clock; }

public slots:
    void FormCreate();
    void FormShow();
    void tmrBusyTimer();
    void tmrClockTimer();
    void sbIDChange();
    void mnuAboutClick();
    void mnuExitClick();
    void mnuEnglishClick();
    void mnuSimplifiedClick();
    void mnuTraditionalClick();
    // Controller tests (TfrmModule_tests.cpp).
    void btnConnectClick();
    void btnSetDateClick();
    void btnAlarmClick();
    void btnInitialClick();
    void btnRebootClick();
    void btnDIDOClick();
    void btnCommandClick();
    void btnModuleCommandClick();
    void btnPoolingClick();
    // Firmware (TfrmModule_firmware.cpp).
    void mnuFirmwareFileClick();
    void btnFirmwareClick();
    // Records and traffic (TfrmModule_records.cpp).
    void mnuOperatorClick();
    void mnuSharedRecordsClick();
    void mnuRecordsClick();
    void mnuTrafficMonitorClick();
    void mnuLineOverviewClick();
    // Asks for a recipe file, then openStation (TfrmModule_station.cpp).
    void mnuStationClick();

protected:
    void showEvent(QShowEvent* event) override;
    // Never closes under a running controller test (TfrmModule_tests.cpp).
    void closeEvent(QCloseEvent* event) override;

private:
    QString openFixtureStation(const QString& fixturePath);
    void wireEvents();
    void ApplyLanguage();
    void applyLanguageFont();
    void chooseLanguage(pb::Language language);
    // Runs a test; a close asked for meanwhile is carried out once it ended.
    void holdingClose(const std::function<void()>& test);
    // Runs a test of the catalogue through the window's view, holding a close as above.
    void runTest(const pb::TestRequest& request);
    // The other tests' buttons, which a running DI/DO (or polling) test holds.
    QList<QPushButton*> heldDuring(bool dido) const;
    pb::Clock& procedureClock() { return procedureClock_ ? *procedureClock_ : clock_; }
    // Records (TfrmModule_records.cpp): opens them and the windows beside this one, and
    // lets both hear the link.
    void openRecords();
    // After a test and at the first show: says once in the status line why the records
    // are off, if they are; an open records window shows the new run.
    void showRecordsProblem();
    void applyRecordsLanguage();

    Ui::TfrmModule ui_;

    pb::Link link_;
    pb::EventLoopClock clock_;
    pb::ControllerState state_;
    pb::Settings settings_;
    pb::LinkSettings linkSettings_;
    pb::Language language_ = pb::Language::English;
    pb::Clock* procedureClock_ = nullptr;
    pb::RunObserver* runObserver_ = nullptr;
    int proceduresRunning_ = 0;
    bool closeRequested_ = false;

    // Blink phase of tmrBusy: 1 after a red tick, 0 after a yellow one.
    int tmrBusyTag_ = 0;
    bool waitCursorShown_ = false;
    QSet<QString> notedPorts_;  // ports whose link note was told
    QString runNote_;           // the note of the run in hand, kept in the tool tip
    pb::TonePlayer* tonePlayer_ = nullptr;
    QPointer<QFileDialog> dlgLoad_;
    // The firmware block buffer and block count, loaded by the model check.
    pb::FirmwareBuffer firmwareBuffer_;
    // The chosen file's release state, beside its name (TfrmModule_firmware.cpp).
    class FirmwareReleaseLabel* releaseLabel_ = nullptr;
    void showFirmwareRelease();

    // The unit records (with the shared server of settings' RecordsUrl), and the
    // windows over them and over the link's traffic; those go first.
    std::unique_ptr<pb::WindowRecords> records_;
    std::unique_ptr<pb::SecondaryWindows> windows_;
};
