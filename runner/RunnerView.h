#pragma once
// The procedures' views for a recipe run: no widgets; it keeps what the procedures show
// that a step judges (the controller identified, the run's detail, the last reply), hands
// status and progress to the recipe's observer, and turns a cancel into a closed link.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <atomic>
#include <optional>

#include "firmware/FirmwareProgressView.h"
#include "link/Link.h"
#include "procedures/Procedure.h"
#include "runner/RecipeRunObserver.h"

namespace pb {

class RunnerView final : public TestRunView,
                         public IdentifyView,
                         public DidoView,
                         public PollingView,
                         public ConsoleView,
                         public FirmwareProgressView,
                         public RunObserver {
public:
    RunnerView(Link& link, const std::atomic<bool>& cancelled) : link_(link), cancelled_(cancelled) {}

    // Set before each step.
    LinkSettings settings;
    Language lang = Language::English;
    QString idToAsk = QStringLiteral("0000");
    RecipeRunObserver* observer = nullptr;
    int step = -1;
    // Told of every run after this view: the records, the window's history.
    QList<RunObserver*> runObservers;

    // What the last run left.
    std::optional<ControllerIdentity> identified;  // by the last connect run that found one
    QJsonObject lastDetail;
    bool lastOpenFailed = false;  // the link itself would not open
    QString lastOpenDetail;
    QString lastStatus;
    QString reply;  // console reply as shown
    int programDone = 0, programTotal = 0, verifyDone = 0, verifyTotal = 0;

    // --- TestRunView ---
    void setStatus(const QString& text) override;
    void setLamp(LampColour) override {}
    void setBusy(bool) override {}
    void setWaitCursor(bool) override {}
    void beep(int, int) override {}
    void processEvents() override;
    LinkSettings readLinkSettings() override { return settings; }
    Language language() const override { return lang; }

    // --- IdentifyView ---
    QString idCaption() const override { return idToAsk; }
    void setIdPosition(int) override {}
    void setVersionText(const QString&) override {}
    void setSerialNumberText(const QString&) override {}

    // --- DidoView ---
    void showAllInputsAndOutputs() override {}
    void hideInputsAndOutputsMissingOnKind4() override {}
    bool outputTicked(int) const override { return false; }
    void untickAllOutputs() override {}
    void setInputLamp(int, InputLamp) override {}

    // --- PollingView: each record shows a date, then its text ---
    void setPollingDate(const QString&) override {}
    void setPollingData(const QString& text) override;

    // --- ConsoleView ---
    void setControllerReplyText(const QString& text) override { reply = text; }
    void setModuleReplyText(const QString& text) override { reply = text; }

    // --- FirmwareProgressView ---
    void setProgramMaximum(int maximum) override;
    void setProgramPosition(int position) override;
    void setVerifyMaximum(int maximum) override;
    void setVerifyPosition(int position) override;
    bool stopRequested() const override { return cancelled_.load(); }

    // --- RunObserver ---
    void runStarted(const RunStart& start) override;
    void runEnded(const RunReport& report) override;
    void runProgressed(const QJsonObject& detail) override;
    void controllerIdentified(const ControllerIdentity& identity) override;

    void progress(const QString& phase, int done, int total);
    // Closes the link when a cancel came: the procedure ends at its next exchange.
    void honourCancel();

private:
    Link& link_;
    const std::atomic<bool>& cancelled_;
    int recordsShown_ = 0;
};

}  // namespace pb
