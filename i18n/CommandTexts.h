#pragma once
// The command line's words for what a unit's run came to (panelbench-cli's step lines and
// results), in the three languages of the message table; "%1", "%2" ... are filled with
// the values the text names. Why a run failed is its cause's words (i18n/CauseTexts.h).

#include <QString>
#include <QStringList>

#include "evidence/Cause.h"

namespace pb {

enum class CommandText {
    Identified,          // "%1" ID, "%2" model kind, "%3" version caption, "%4" serial
    DidoDone,            // "%1" cycles, "%2" the inputs last read
    RecordsRead,         // "%1"
    Reply,               // "%1"
    BlocksDone,          // "%1" blocks
    BlocksLeftOut,       // "%1" left out, "%2" the model's cap
    NothingSent,
    BlocksSoFar,         // "%1" programmed, "%2" of, "%3" verified
    MayLackFirmware,
    FirmwareAsItWas,
    Interrupted,         // "%1": what it was doing
    ProgrammingStopped,  // "%1" block, "%2" of
    VerifyStopped,       // "%1" block, "%2" of
    DidoStopped,         // "%1" cycles
    OnTry,               // "%1" try, "%2" of
    TryAgain,            // "%1" try, "%2" of, "%3" why, "%4" seconds
    RecipePassed,        // "%1" steps
    RecipeFailedAt,      // "%1" step number, "%2" step name, "%3" why
    RecipeFailed,
    RecipeStarted,       // "%1" product, "%2" steps, "%3" hash, then one of the next two
    NoSerialGiven,
    UnitSerial,          // "%1"
    StepLine,            // "%1" step number, "%2" of, "%3" name
    StepStartedNow,
    StepTry,             // "%1"
    StepPassed,
    StepFailed,
    LinkNotOpened,       // the adapter socket's link: "%1" why
};

QString Text(CommandText id, int language);
QString Text(CommandText id, const QStringList& args, int language);

// A step tried again once the controller answers again: "try 1 of 3 failed: ...; waiting
// up to 60 s for the controller to answer again".
QString TryAgainText(int attempt, int of, const Cause& why, int seconds, int language);

}  // namespace pb
