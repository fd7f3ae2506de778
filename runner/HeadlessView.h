#pragma once
// The procedures' views without a window, for the command line and for recipe runs: it
// shows what a run shows (the status line, the bars, the polled records, the DI/DO
// cycles) by handing it to a HeadlessSink, passes every run's report on to its keepers,
// and turns a cancel into what each test honours. It keeps nothing for later: what a run
// found comes back in the procedure's result (procedures/RunResult.h).

#include <QList>
#include <QString>
#include <functional>

#include "firmware/FirmwareProgressView.h"
#include "link/Link.h"
#include "procedures/Procedure.h"
#include "runner/RecipeRunObserver.h"

namespace pb {

// Where a headless view's news goes: the command line's events, a recipe step's observer.
class HeadlessSink {
public:
    virtual ~HeadlessSink() = default;
    // A new status line; one like the last is not told again. `live`: a countdown's later
    // seconds (the clock says so).
    virtual void status(const QString& text, bool live) = 0;
    // A bar moved: blocks or cycles done of total (0: not known).
    virtual void progress(const QString& phase, int done, int total) = 0;
    // A firmware bar was given its total, before its first block: "program", "verify".
    virtual void phaseBegins(const QString& /*phase*/, int /*total*/) {}
    virtual void polled(const PollingShown& /*shown*/) {}
    // Something the run opened with that the user should hear of once (the link's note).
    virtual void warning(const QString& /*text*/) {}
    // How long the unit's run has taken so far (a DI/DO run of some seconds ends by it).
    virtual qint64 elapsedMs() const { return 0; }
};

// What the DI/DO test's output boxes hold and when it stops by itself.
struct HeadlessDido {
    QString outputs;   // '1' for each output ticked, outputs 1-4
    int cycles = 0;    // the run ends after this many cycles (0: not by count)
    int seconds = 0;   // used instead of cycles when > 0: after this long (HeadlessSink::elapsedMs)
};

class HeadlessView final : public TestRunView,
                           public IdentifyView,
                           public DidoView,
                           public PollingView,
                           public ConsoleView,
                           public FirmwareProgressView,
                           public RunObserver {
public:
    HeadlessView(Link& link, ControllerState& state, HeadlessSink& sink,
                 std::function<bool()> cancelRequested)
        : link_(link), state_(state), sink_(sink), cancelRequested_(std::move(cancelRequested)) {}

    // Set before a run.
    Language lang = Language::English;
    QString idToAsk = QStringLiteral("0000");
    // A continuous test runs (DI/DO, polling): a cancel stops it at the end of its cycle or
    // record, as a second click would, instead of closing the link.
    bool continuous = false;
    HeadlessDido dido;
    // Told of every run after this view: the records, the window's history. A run the
    // user stopped is told as interrupted (the test-run frame decides).
    QList<RunObserver*> keepers;

    // --- TestRunView ---
    void setStatus(const QString& text) override;
    void setLamp(LampColour) override {}
    void setBusy(bool) override {}
    void setWaitCursor(bool) override {}
    void beep(int, int) override {}
    void processEvents() override;
    bool stopAsked() const override { return cancelRequested_(); }
    Language language() const override { return lang; }
    void linkNote(const QString&, const QString& text) override { sink_.warning(text); }

    // --- IdentifyView: the ID asked; what was found comes back in the result ---
    QString idCaption() const override { return idToAsk; }
    void setIdPosition(int) override {}
    void setVersionText(const QString&) override {}
    void setSerialNumberText(const QString&) override {}

    // --- DidoView: the boxes ticked; a cycle begins when output 1 is read, which every
    // cycle of both variants does first ---
    void showAllInputsAndOutputs() override {}
    void hideInputsAndOutputsMissingOnKind4() override {}
    bool outputTicked(int k) const override;
    void untickAllOutputs() override {}
    void setInputLamp(int, InputLamp) override {}
    // The DI/DO run has ended: its last cycle is done.
    void didoEnded() { cycleEnds(); }

    // --- PollingView: each record shows a date, then its text ---
    void setPollingDate(const QString& text) override;
    void setPollingData(const QString& text) override;
    void setRecordsStored(int count) override { pollStored_ = count; }

    // --- ConsoleView: the reply comes back in the result ---
    void setControllerReplyText(const QString&) override {}
    void setModuleReplyText(const QString&) override {}

    // --- FirmwareProgressView: a position is set after each block ---
    void setProgramMaximum(int maximum) override;
    void setProgramPosition(int position) override;
    void setVerifyMaximum(int maximum) override;
    void setVerifyPosition(int position) override;
    bool stopRequested() const override { return cancelRequested_(); }

    // --- RunObserver: to the keepers ---
    void runStarted(const RunStart& start) override;
    void runEnded(const RunReport& report) override;
    void runProgressed(const QJsonObject& detail) override;
    void runMeasured(const Measurements& found) override;
    void controllerIdentified(const ControllerIdentity& identity) override;

    // Clears the running flag of a loop (what a second click does); false for a one-shot
    // test. Safe at any moment: the loop only reads the flag between its exchanges.
    bool stopLoop();
    // A cancel: the loops stop at the end of their cycle and send their closing command;
    // anything else has its link closed, so the procedure ends at its next exchange, which
    // in an upgrade is the next block. Nothing when no cancel was asked.
    void honourCancel();
    // This view closed the link on a cancel while the last run ran (a one-shot test).
    bool closedLinkOnCancel() const { return closedOnCancel_; }
    // While on, the statuses told are a countdown's later seconds.
    void setStatusesLive(bool on) { statusesLive_ = on; }

private:
    struct Bar {
        int total = -1;  // below 0 until the phase begins
        int done = 0;
    };
    void begin(const QString& phase, Bar& bar, int maximum);
    void blockDone(const QString& phase, Bar& bar, int position);
    void cycleBegins();
    void cycleEnds();

    Link& link_;
    ControllerState& state_;
    HeadlessSink& sink_;
    std::function<bool()> cancelRequested_;
    QString status_;
    Bar program_, verify_;
    int cyclesStarted_ = 0, cyclesDone_ = 0;
    QString pollDate_;
    bool dateFresh_ = false;
    int pollRecords_ = 0, pollTexts_ = 0, pollStored_ = 0;
    bool closedOnCancel_ = false;
    bool statusesLive_ = false;
};

}  // namespace pb
