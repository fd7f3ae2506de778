#pragma once
// What a run of a plan tells whoever shows it (the station window, the command line), live,
// in the thread the run goes in. Every call has a default, so a view takes what it needs.

#include <QList>
#include <QString>

#include "link/Link.h"
#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"

namespace pb {

// A record or a message the polling panels showed.
struct PollingShown {
    QString date;   // the date panel; empty for a message
    QString text;   // the data panel
    bool record = false;  // a record (a date, then its text), not a message ("no records")
    int records = 0;      // the records shown in this run so far
    int texts = 0;        // the records and messages shown in this run so far
    int stored = 0;       // the records the store holds, as far as the test told (0: not told)
};

class RecipeRunObserver {
public:
    virtual ~RecipeRunObserver() = default;
    // Before the first step; `scannedSerial` as given (may be empty).
    virtual void recipeStarted(const Recipe& /*recipe*/, const QString& /*scannedSerial*/) {}
    // A try of step `index` (from 0) begins; `attempt` counts from 1.
    virtual void stepStarted(int /*index*/, int /*attempt*/) {}
    // The status line of the step's procedures ("Connecting device ...", "Command ok."),
    // in the run's language; `live`: a countdown's later seconds, for a live line only.
    virtual void stepStatus(int /*index*/, const QString& /*text*/, bool /*live*/) {}
    // Progress of a long step: phase "program" / "verify" (firmware blocks), "dido"
    // (cycles or patterns), "poll" (records read); total 0 when not known. The phase is a
    // key, not a text to show: a view words it in its own language.
    virtual void stepProgress(int /*index*/, const QString& /*phase*/, int /*done*/, int /*total*/) {}
    // A record (or a message) the polling test showed.
    virtual void stepPolled(int /*index*/, const PollingShown& /*shown*/) {}
    // Step `index` waits for a reply that is overdue: the command it waits on (without the
    // device ID) and how long the controller has not answered. Told at each overdue try.
    virtual void awaitingReply(int /*index*/, const AwaitedReply& /*awaited*/) {}
    // The controller answered again after overdue replies.
    virtual void answeredAgain(int /*index*/) {}
    // A step is over (after its last try): the verdict with its cause, how many tries, what
    // it measured, language-free: the view shows it in its own language.
    virtual void stepEnded(int /*index*/, const StepResult& /*result*/) {}
    // The port stays slower than it could be (an adapter left above 1 ms): why, and what it
    // costs, in the run's language. Told at each open that finds it so.
    virtual void linkNote(const QString& /*text*/) {}
    // The unit's verdict; `results` has one entry per step, NotRun for those not reached.
    virtual void recipeEnded(const UnitVerdict& /*verdict*/, const QList<StepResult>& /*results*/) {}
};

}  // namespace pb
