// The controller tests behind the buttons of the test and command pages. Each handler
// reads its controls and runs its test of the catalogue; the procedure shows the outcome
// through the window (status line, lamp, beep, panels).
#include <QCloseEvent>

#include "app/TfrmModule.h"
#include "app/TestButtons.h"
#include "catalogue/TestCatalogue.h"
#include "runner/ButtonRun.h"
#include "i18n/Messages.h"

// The buttons of the other tests, which a continuous test holds until it ends.
QList<QPushButton*> TfrmModule::heldDuring(bool dido) const {
    const auto& u = ui_;
    return QList<QPushButton*>{u.btnConnect, u.btnReboot, u.btnInitial, u.btnSetDate, u.btnAlarm,
                               dido ? u.btnPooling : u.btnDIDO} +
           pb::TestButtonsIn(this);
}

// A continuous test (DI/DO, polling) keeps only its own button, to stop it, and the pages
// it leaves in reach; an identified controller unlocks the test pages.
void TfrmModule::testStarted(pb::TestId test) {
    auto& u = ui_;
    runNote_.clear();  // a link note is told with the run that found it
    if (test != pb::TestId::Dido && test != pb::TestId::Polling) return;
    const bool dido = test == pb::TestId::Dido;
    (dido ? u.btnDIDO : u.btnPooling)->setText(Msg(pb::MsgId::CancelTest));
    for (QPushButton* b : heldDuring(dido)) b->setEnabled(false);
    for (QWidget* page : {u.tsFunction, static_cast<QWidget*>(u.tsCommand)})
        u.pcMain->setTabVisible(u.pcMain->indexOf(page), false);
    setFirmwarePageVisible(false);
}

void TfrmModule::testEnded(pb::TestId test, pb::Outcome outcome) {
    auto& u = ui_;
    if (test == pb::TestId::Connect && outcome == pb::Outcome::Ok) u.pcMain->setEnabled(true);
    if (test != pb::TestId::Dido && test != pb::TestId::Polling) return;
    const bool dido = test == pb::TestId::Dido;
    for (QPushButton* b : heldDuring(dido)) b->setEnabled(true);
    u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsCommand), true);
    // After the DI/DO test the function and firmware pages stay hidden.
    if (!dido) setFirmwarePageVisible(true);
    (dido ? u.btnDIDO : u.btnPooling)
        ->setText(Msg(dido ? pb::MsgId::DidoTest : pb::MsgId::PoolingDataTest));
}

void TfrmModule::holdingClose(const std::function<void()>& test) {
    ++proceduresRunning_;
    test();
    --proceduresRunning_;
    showRecordsProblem();
    // A close asked for while the test ran is carried out now that it has ended.
    if (proceduresRunning_ == 0 && closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void TfrmModule::runTest(const pb::TestRequest& request) {
    // The link page's settings, read as the test starts, go to the test.
    const pb::LinkSettings settings = shownLinkSettings();
    pb::ProcedureContext ctx{link_,        settings,       *this,          *this,  *ui_.tsTest,
                             *ui_.tsTest, *ui_.tsCommand, procedureClock(), state_, runObserver()};
    pb::TestRig rig{ctx, *ui_.tsFirmware, &firmwareBuffer_};
    holdingClose([&] { pb::RunButton(rig, request); });
}

void TfrmModule::closeEvent(QCloseEvent* event) {
    if (proceduresRunning_ == 0) {
        QMainWindow::closeEvent(event);
        if (event->isAccepted()) windows_->closeAll();
        return;
    }
    // Never under a running test: a DI/DO test stops at the end of its cycle, a polling
    // test after the record in hand, any other
    // test runs to its end, and then the window closes.
    closeRequested_ = true;
    state_.didoRunning = false;
    state_.pollingRunning = false;
    event->ignore();
}

void TfrmModule::btnConnectClick() { runTest({pb::TestId::Connect, {}}); }

void TfrmModule::btnSetDateClick() { runTest({pb::TestId::SetDate, {}}); }

void TfrmModule::btnAlarmClick() {
    pb::TestParams p;
    p.alarm.level = ui_.cmbAlarm->currentIndex();
    runTest({pb::TestId::Alarm, p});
}

void TfrmModule::btnInitialClick() { runTest({pb::TestId::FactoryInitial, {}}); }

void TfrmModule::btnRebootClick() { runTest({pb::TestId::Reboot, {}}); }

void TfrmModule::btnDIDOClick() {
    pb::TestParams p;
    p.dido.needsAnsweredRead = false;  // the technician reads the lamps
    runTest({pb::TestId::Dido, p});
}

void TfrmModule::btnCommandClick() {
    pb::TestParams p;
    p.console.text = ui_.edCommandSend->text();
    runTest({pb::TestId::ControllerCommand, p});
}

void TfrmModule::btnModuleCommandClick() {
    pb::TestParams p;
    p.console.moduleType = ui_.cmbModuleType->currentIndex();
    p.console.moduleNumber = ui_.cmbModuleId->currentText();
    p.console.text = ui_.edModuleCommandSend->text();
    runTest({pb::TestId::ModuleCommand, p});
}

void TfrmModule::btnPoolingClick() { runTest({pb::TestId::Polling, {}}); }
