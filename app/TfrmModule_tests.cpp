// The controller tests behind the buttons of the test and command pages. Each handler
// reads its controls and runs the procedure; the procedure shows the outcome through
// the window (status line, lamp, beep, panels).
#include <QCloseEvent>

#include "app/TfrmModule.h"
#include "app/WindowColours.h"
#include "app/WindowRunView.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "procedures/SystemCommands.h"

namespace {

// The window as the controller tests see it.
class WindowView : public WindowRunViewOf<pb::ProcedureView> {
public:
    using WindowRunViewOf::WindowRunViewOf;

    // Connect and identify.
    QString idCaption() const override { return u_.pnID->text(); }
    void setIdPosition(int position) override { u_.sbID->setValue(position); }
    void setVersionText(const QString& text) override { u_.pnVER->setText(text); }
    void setSerialNumberText(const QString& text) override { u_.pnSN->setText(text); }
    void showAllInputsAndOutputs() override {
        for (int i = 4; i < 8; ++i) {
            u_.shDI[i]->setVisible(true);
            u_.lblDI[i]->setVisible(true);
        }
        u_.chkDO3->setVisible(true);
        u_.chkDO4->setVisible(true);
    }
    void hideInputsAndOutputsMissingOnKind4() override {
        for (QWidget* w : {static_cast<QWidget*>(u_.shDI5), static_cast<QWidget*>(u_.shDI6),
                           static_cast<QWidget*>(u_.lblDI5), static_cast<QWidget*>(u_.lblDI6),
                           static_cast<QWidget*>(u_.chkDO4)})
            w->setVisible(false);
    }
    void saveLinkSettings() override { w_.SaveLinkSettings(); }
    void enableTestPages() override { u_.pcMain->setEnabled(true); }

    // DI/DO test.
    void setWindowEnabled(bool on) override { w_.setEnabled(on); }
    bool outputTicked(int k) const override { return u_.chkDO[size_t(k - 1)]->isChecked(); }
    void untickAllOutputs() override {
        for (QCheckBox* box : u_.chkDO) box->setChecked(false);
    }
    void setInputLamp(int k, pb::InputLamp colour) override {
        u_.shDI[size_t(k - 1)]->setBrushColor(colour == pb::InputLamp::Yellow
                                                  ? pb::ColourFromBgr(pb::kBgrYellow)
                                                  : QColor(Qt::white));
    }
    void setDidoButtonCaption(const QString& text) override { u_.btnDIDO->setText(text); }
    void setOtherTestButtonsEnabled(bool on) override {
        for (QPushButton* b : {u_.btnConnect, u_.btnReboot, u_.btnInitial, u_.btnSetDate,
                               u_.btnAlarm, u_.btnPooling})
            b->setEnabled(on);
    }
    void hideOtherTestTabs() override {
        for (QWidget* page : {u_.tsFunction, u_.tsCommand})
            u_.pcMain->setTabVisible(u_.pcMain->indexOf(page), false);
        w_.setFirmwarePageVisible(false);
    }
    void showCommandTab() override {
        u_.pcMain->setTabVisible(u_.pcMain->indexOf(u_.tsCommand), true);
    }

    // Polling data test.
    void setPollingButtonCaption(const QString& text) override { u_.btnPooling->setText(text); }
    void setTestButtonsBesidePollingEnabled(bool on) override {
        for (QPushButton* b :
             {u_.btnConnect, u_.btnReboot, u_.btnInitial, u_.btnSetDate, u_.btnAlarm, u_.btnDIDO})
            b->setEnabled(on);
    }
    void setPollingDate(const QString& text) override { u_.pnPoolingDate->setText(text); }
    void setPollingData(const QString& text) override { u_.pnPoolingData->setText(text); }
    void showCommandAndFirmwareTabs() override {
        showCommandTab();
        w_.setFirmwarePageVisible(true);
    }

    // Command consoles.
    void setControllerReplyText(const QString& text) override { u_.edCommandRecv->setText(text); }
    void setModuleReplyText(const QString& text) override { u_.edModuleCommandRecv->setText(text); }
};

}  // namespace

void TfrmModule::holdingClose(const std::function<void()>& test) {
    ++proceduresRunning_;
    test();
    --proceduresRunning_;
    // A close asked for while the test ran is carried out now that it has ended.
    if (proceduresRunning_ == 0 && closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void TfrmModule::runProcedure(const std::function<void(pb::ProcedureContext&)>& procedure) {
    WindowView view(*this);
    pb::ProcedureContext ctx{link_, view, procedureClock(), state_};
    holdingClose([&] { procedure(ctx); });
}

void TfrmModule::closeEvent(QCloseEvent* event) {
    if (proceduresRunning_ == 0) {
        QMainWindow::closeEvent(event);
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
