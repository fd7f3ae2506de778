#pragma once
// What a recipe run tells whoever shows it (the station window, the command line), live,
// in the thread the run goes in. Every call has a default, so a view takes what it needs.

#include <QList>
#include <QString>

#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"

namespace pb {

class RecipeRunObserver {
public:
    virtual ~RecipeRunObserver() = default;
    // Before the first step; `scannedSerial` as given (may be empty).
    virtual void recipeStarted(const Recipe& /*recipe*/, const QString& /*scannedSerial*/) {}
    // A try of step `index` (from 0) begins; `attempt` counts from 1.
    virtual void stepStarted(int /*index*/, int /*attempt*/) {}
    // The status line of the step's procedures ("Connecting device ...", "Command ok.").
    virtual void stepStatus(int /*index*/, const QString& /*text*/) {}
    // Progress of a long step: phase "program" / "verify" (firmware blocks), "dido"
    // (patterns applied), "poll" (records read); total 0 when not known. The phase is a
    // key, not a text to show: a view words it in its own language.
    virtual void stepProgress(int /*index*/, const QString& /*phase*/, int /*done*/, int /*total*/) {}
    // A step is over (after its last try): the verdict, how many tries, and what it
    // measured, language-free: the view shows it in its own language.
    virtual void stepEnded(int /*index*/, const StepResult& /*result*/, const StepMeasured& /*measured*/) {}
    // The port stays slower than it could be (an adapter left above 1 ms): why, and what it
    // costs, in the run's language. Told at each open that finds it so.
    virtual void linkNote(const QString& /*text*/) {}
    // The unit's verdict; `results` has one entry per step, NotRun for those not reached.
    virtual void recipeEnded(const UnitVerdict& /*verdict*/, const QList<StepResult>& /*results*/) {}
};

}  // namespace pb
