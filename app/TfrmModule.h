#pragma once
// The one window of the program: the frame (status line, lamp, identification panels),
// the menu, the language switch and the link, with the session's settings and controller
// state. The pages own their buttons' handlers and hand each test to the window's runner
// (runTest); the procedures see the window through narrow views: it is the test-run and
// the identify view. The menus' records, traffic and station entries are RecordsMenus'.

#include <QCoreApplication>
#include <QMainWindow>
#include <QSet>
#include <memory>

#include "app/RecordsMenus.h"
#include "app/TfrmModuleUi.h"
#include "catalogue/TestRequest.h"
#include "i18n/Messages.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "procedures/ControllerState.h"
#include "procedures/Procedure.h"
#include "procedures/RunObserver.h"
#include "procedures/TestRunView.h"
#include "settings/Settings.h"

namespace pb {
class TonePlayer;
}  // namespace pb

class TfrmModule : public QMainWindow, public pb::TestRunView, public pb::IdentifyView {
    Q_OBJECT
public:
    explicit TfrmModule(QWidget* parent = nullptr);
    ~TfrmModule() override;

    Ui::TfrmModule& ui() { return ui_; }
    const pb::Settings& settings() const { return settings_; }
    pb::Link& link() { return link_; }
    pb::ControllerState& state() { return state_; }
    // The link settings the link page shows: what a test started now opens.
    pb::LinkSettings shownLinkSettings() { return ui_.pcPort->shownLinkSettings(); }

    // pb::TestRunView
    void setStatus(const QString& text) override;
    // The status line keeps its one line; the facts and the fix are a hover away.
    void setStatusAdvice(const QString& text) override { ui_.pnMsg->setToolTip(text); }
    // Once per port in a session: the status line's tool tip says it for the run.
    void linkNote(const QString& port, const QString& text) override;
    void setLamp(pb::LampColour colour) override;
    // Lamp blinking and window disabled while on.
    void setBusy(bool on) override;
    void setWaitCursor(bool on) override;
    void beep(int frequencyHz, int durationMs) override;
    void processEvents() override { QCoreApplication::processEvents(); }
    pb::Language language() const override { return settings_.language; }
    void setWindowEnabled(bool on) override { setEnabled(on); }
    // Saves the link kind and the active page's link texts (after a link was used well).
    void saveLinkSettings() override { ui_.pcPort->saveLinkSettings(settings_); }
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
    // The clock of the controller tests' pauses (tests shorten it); null: the window's own.
    void setProcedureClock(pb::Clock* clock) { procedureClock_ = clock; }
    // The firmware page and, with it, the firmware file menu that feeds it.
    void setFirmwarePageVisible(bool on);

    // The unit records, the windows beside this one and the station (RecordsMenus).
    pb::records::RecordStore& records() { return menus_->records().store(); }
    pb::records::RunRecordsObserver& recordsObserver() { return menus_->records().observer(); }
    pb::records::RecordsUploader* recordsUploader() const { return menus_->records().uploader(); }
    void setRecordsUrl(const QString& url) { menus_->setRecordsUrl(url); }
    QString openStation(const QString& recipePath) { return menus_->openStation(recipePath); }
    pb::TrafficLog& trafficLog() { return menus_->windows().trafficLog(); }
    RecordsWindow* recordsWindow() const { return menus_->windows().recordsWindow(); }
    pb::TrafficMonitorWindow* trafficMonitorWindow() const { return menus_->windows().trafficMonitorWindow(); }
    pb::StationWindow* stationWindow() const { return menus_->windows().stationWindow(); }
    pb::GangStationWindow* gangStationWindow() const { return menus_->windows().gangStationWindow(); }

public slots:
    void FormCreate();
    void FormShow() {
        ApplyLanguage();
        menus_->runEnded(*this);
    }
    void tmrBusyTimer();
    void tmrClockTimer();
    void sbIDChange() { ui_.pnID->setText(QString::asprintf("%04d", ui_.sbID->value())); }
    void mnuAboutClick();
    void mnuExitClick() { close(); }
    void mnuEnglishClick() { chooseLanguage(pb::Language::English); }
    void mnuSimplifiedClick() { chooseLanguage(pb::Language::SimplifiedChinese); }
    void mnuTraditionalClick() { chooseLanguage(pb::Language::TraditionalChinese); }
    void btnConnectClick() { runTest({pb::TestId::Connect, {}}); }

protected:
    void showEvent(QShowEvent* event) override;
    // Never closes under a running controller test.
    void closeEvent(QCloseEvent* event) override;

private:
    void wireEvents();
    void ApplyLanguage();
    void chooseLanguage(pb::Language language);
    QString Msg(pb::MsgId id) const { return pb::Msg(id, language()); }
    // Runs a test of the catalogue through the one runner in the window's rig; a close
    // asked for meanwhile is carried out once it ended.
    void runTest(const pb::TestRequest& request);
    void holdDuring(pb::TestId test, bool running);

    Ui::TfrmModule ui_;

    pb::Link link_;
    pb::EventLoopClock clock_;
    pb::ControllerState state_;
    pb::Settings settings_;
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

    std::unique_ptr<pb::RecordsMenus> menus_;
};
