#pragma once
// The words of the station window (a product's recipe run on each scanned unit), in the
// three languages of the message table. "%1", "%2" ... are filled in as named.

#include <QString>

namespace pb {

enum class StationText {
    WindowTitle,  // "%1": the product
    MenuEntry,    // the File menu entry that opens the station
    Product,
    Recipe,
    Link,
    LinkSerial,  // "%1" port, "%2" speed text
    LinkTcp,     // "%1" IP, "%2" port
    SerialNumber,
    HintReady,
    HintRunning,  // "%1": the serial under test
    HintIgnored,  // "%1": the scan that came while a unit was running
    ColumnStep,
    ColumnState,
    ColumnMeasured,
    StateWaiting,
    StateRunning,         // "%1": the try
    StatePassed,
    StateFailed,
    StateNotRun,
    BannerReady,
    BannerTesting,  // "%1": serial
    BannerPass,
    BannerFail,
    PassDetail,  // "%1" serial, "%2" number of steps
    FailDetail,  // "%1" serial, "%2" step number, "%3" step name, "%4" why
    CountPassed,  // "%1"
    CountFailed,  // "%1"
    CountYield,   // "%1": percent, or the no-value mark
    NoValue,
    ResetCounts,
    Stop,
    Close,  // closes the station window (Esc does the same while no unit runs)
    ChooseRecipe,    // the file dialog's title: a recipe, or a fixture file
    RecipeFilter,    // the file dialog's filter
    RecipeMistakes,  // "%1": file; the mistakes follow on their own lines
};

QString Text(StationText id, int language);

}  // namespace pb
