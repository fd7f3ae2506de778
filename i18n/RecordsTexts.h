#pragma once
// The words of the unit records: the records window, the operator dialog, the report,
// and why the records are off, in the three languages of the message table.

#include <QString>

namespace pb {

enum class RecordText {
    WindowTitle,
    MenuRecords,
    MenuOperator,
    MenuView,  // the menu holding the records and the traffic monitor
    OperatorTitle,
    OperatorPrompt,
    // Filters and panes.
    FilterSerial,
    FilterDates,
    FilterTo,
    FilterOutcome,
    FilterProcedure,
    FilterFixture,
    FilterSocket,
    Any,
    AllUnits,
    Units,
    Runs,
    Details,
    Traffic,
    // Column heads.
    ColSerial,
    ColLink,
    ColModel,
    ColVersion,
    ColLastSeen,
    ColStarted,
    ColUnit,
    ColProcedure,
    ColOutcome,
    ColDuration,
    ColOperator,
    ColStation,
    ColStatus,
    ColTime,
    ColDirection,
    ColBytes,
    ColVerdict,
    ColNote,
    ColFixture,
    ColSocket,
    // Values.
    OutcomeRunning,
    OutcomeOk,
    OutcomeError,
    OutcomeOpenFailed,
    OutcomeInterrupted,
    OutcomeWatched,
    DirectionSent,
    DirectionReceived,
    DirectionFailed,
    FramesDropped,  // "%1": frames dropped between the first and the last kept
    Unidentified,   // "%1": the link of the unidentified unit
    // Exports.
    ExportJson,
    ExportCsv,
    ExportHtml,
    ExportPdf,
    Close,
    Ok,
    Cancel,
    Exported,      // "%1": run count, "%2": file
    ExportFailed,  // "%1": file, "%2": the reason
    ChooseUnit,
    // The report.
    ReportTitle,  // "%1": serial number or the unidentified unit
    ReportIdentity,
    ReportDeviceId,
    ReportFirstSeen,
    ReportRuns,
    ReportFirmware,
    ReportFile,
    ReportVersionBefore,
    ReportVersionAfter,
    ReportNoFirmware,
    ReportPrinted,  // "%1": date and time, "%2": station
    // Why the records are off (or what happened to the file).
    RecordsOff,  // "%1": one of the reasons below
    ReasonDriverMissing,
    ReasonFolderNotWritable,  // "%1": folder
    ReasonDiskFull,
    ReasonNewerSchema,
    ReasonWriteFailed,  // "%1": the system's words
    KeptAsideDamaged,   // "%1": where the old file now lies
    KeptAsideForeign,   // "%1": where the other program's file now lies
    // Recipe runs: a unit test of a product's recipe, with its steps.
    ReportRecipes,
    ReportNoRecipes,
    ColRecipe,
    ColUnitVerdict,
    ColStep,
    ColMeasured,
    ColScannedSerial,
    VerdictPass,
    VerdictFail,
    VerdictNotRun,
    VerdictInterrupted,
    VerdictRunning,
    RecipeOfRun,  // "%1" recipe, "%2" verdict, "%3" step number, "%4" step count
    // The shared records on a server: runs are kept on this PC meanwhile.
    ServerAway,  // "%1": one of the reasons below
    ReasonServerUnreachable,
    ReasonAuthFailed,
    ReasonNoDatabase,
    ReasonServerNewerSchema,
    ReasonBadAddress,  // "%1": what is wrong with it
    ShowingLocal,      // "%1": the file
    ShowingServer,     // "%1": the server's URL
    RunsWaiting,       // "%1": how many
    Station,
    ReasonServerDriverMissing,
    // File > Shared records: the server's URL and why one is refused.
    MenuSharedRecords,
    SharedTitle,
    SharedPrompt,
    SharedPasswordNote,
    Save,
    UrlNotAUrl,
    UrlPassword,
    UrlBadPort,    // "%1": the port given
    UrlBadOption,  // "%1": the option
    // A unit test (recipe run) as a row of the lists, and a value the run did not read.
    ProcRecipe,
    UnitTestOf,    // "%1": the recipe
    FailedAtStep,  // "%1" step number, "%2" its label, "%3" why
    NotRead,       // "%1": why
    NotReadUpgradeFailed,
    NotReadNoIdentify,
    NotReadIdentifyFailed,
    NotReadNoIdentifyBefore,
    // A unit test's place among its unit's tests of its recipe, and the unit report's count.
    FirstTest,
    RetestNumber,   // "%1": the retest's number, from 1
    RetestSummary,  // "%1": recipe, "%2": unit tests, "%3": retests, "%4": the last one's verdict
    // What waits on this PC (records status, the status line): "%1" a count.
    StatusUploadsWaiting,
    StatusEventsWaiting,
    StatusEventsShort,
};
inline constexpr int kRecordTextCount = int(RecordText::StatusEventsShort) + 1;

QString Text(RecordText id, int language);

// "PASS", "FAIL", "Not run", ... for a recipe run's or step's verdict code ("pass",
// "fail", "not-run", "interrupted", "running"); the code itself when unknown.
QString RecipeVerdictName(const QString& code, int language);

// "not read: <why>" for the code a record keeps of a value it could not read
// (records::kNotRead*); "not read" alone for an unknown or empty code.
QString NotReadText(const QString& code, int language);

// A text the records keep language-free (in English: a status line, a step's reason or what
// it measured, a frame's verdict) as the window shows it in `language`: each known phrase
// of the message and recipe tables in that language, the values it names kept; a text
// not known stays as it is.
QString ShownText(const QString& stored, int language);
// A frame's verdict or failure word ("good", "no-reply", ...) in `language`.
QString FrameVerdictText(const QString& word, int language);

}  // namespace pb
