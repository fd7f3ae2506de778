// The controller tests behind the buttons of the test and command pages. Each handler
// reads its controls and runs the procedure; the procedure shows the outcome through
// the window (status line, lamp, beep, panels).
#include <QCloseEvent>

#include "app/TfrmModule.h"
#include "i18n/Messages.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"

// A continuous test (DI/DO, polling) keeps only its own button, to stop it, and the pages
// it leaves in reach; an identified controller unlocks the test pages.
void TfrmModule::testStarted(pb::TestId test) {
    auto& u = ui_;
    if (test != pb::TestId::Dido && test != pb::TestId::Polling) return;
    const bool dido = test == pb::TestId::Dido;
    (dido ? u.btnDIDO : u.btnPooling)->setText(Msg(pb::MsgId::CancelTest));
    for (QPushButton* b : {u.btnConnect, u.btnReboot, u.btnInitial, u.btnSetDate, u.btnAlarm,
                           dido ? u.btnPooling : u.btnDIDO})
        b->setEnabled(false);
    for (QWidget* page : {u.tsFunction, static_cast<QWidget*>(u.tsCommand)})
        u.pcMain->setTabVisible(u.pcMain->indexOf(page), false);
    setFirmwarePageVisible(false);
}

void TfrmModule::testEnded(pb::TestId test, pb::Outcome outcome) {
    auto& u = ui_;
    if (test == pb::TestId::Connect && outcome == pb::Outcome::Ok) u.pcMain->setEnabled(true);
    if (test != pb::TestId::Dido && test != pb::TestId::Polling) return;
    const bool dido = test == pb::TestId::Dido;
    for (QPushButton* b : {u.btnConnect, u.btnReboot, u.btnInitial, u.btnSetDate, u.btnAlarm,
                           dido ? u.btnPooling : u.btnDIDO})
        b->setEnabled(true);
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

void TfrmModule::runProcedure(const std::function<void(pb::ProcedureContext&)>& procedure) {
    pb::ProcedureContext ctx{
        link_,  *this,       *this, *ui_.tsTest, *ui_.tsTest, *ui_.tsCommand, procedureClock(),
        state_, runObserver()};
    holdingClose([&] { procedure(ctx); });
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

void TfrmModule::btnConnectClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::ConnectAndIdentify(ctx); });
}

void TfrmModule::btnSetDateClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::SetDateTime(ctx); });
}

void TfrmModule::btnAlarmClick() {
    const int alarmIndex = ui_.cmbAlarm->currentIndex();
    runProcedure([alarmIndex](pb::ProcedureContext& ctx) { pb::AlarmTest(ctx, alarmIndex); });
}

void TfrmModule::btnInitialClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::FactoryInitial(ctx); });
}

void TfrmModule::btnRebootClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::Reboot(ctx); });
}

void TfrmModule::btnDIDOClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::DidoTestClick(ctx); });
}

void TfrmModule::btnCommandClick() {
    const QString typed = ui_.edCommandSend->text();
    runProcedure([typed](pb::ProcedureContext& ctx) { pb::ControllerCommand(ctx, typed); });
}

void TfrmModule::btnModuleCommandClick() {
    const int typeIndex = ui_.cmbModuleType->currentIndex();
    const QString moduleNumber = ui_.cmbModuleId->currentText();
    const QString typed = ui_.edModuleCommandSend->text();
    runProcedure(
        [=](pb::ProcedureContext& ctx) { pb::ModuleCommand(ctx, typeIndex, moduleNumber, typed); });
}

void TfrmModule::btnPoolingClick() {
    runProcedure([](pb::ProcedureContext& ctx) { pb::PollingTestClick(ctx); });
}
