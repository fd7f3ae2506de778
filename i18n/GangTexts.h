#pragma once
// The words of the station for a fixture (one window testing every socket at once), in
// the three languages of the message table; what it shares with the single-unit station
// (captions, counts, link texts) stays in StationTexts. "%1", "%2" ... filled as named.

#include <QString>

namespace pb {

enum class GangText {
    WindowTitle,      // "%1": the fixture, "%2": its sockets
    Fixture,          // caption of the fixture's name
    HintNext,         // "%1": the socket the next scan goes to
    HintSelected,     // "%1": the socket chosen by its name
    HintFullOnKey,    // every socket in use has its serial; waits for F5
    HintRunning,      // "%1": units under test
    HintIgnored,      // "%1": the scan that came while units run
    HintDuplicate,    // "%1": serial, "%2": the socket that has it
    HintOutOfUse,     // "%1": socket, "%2": why
    HintCleared,      // "%1": the socket whose serial went
    HintNoneInUse,
    HintStopping,
    StateEmpty,
    StateWaiting,
    StateRunning,     // "%1": step number, "%2": steps
    StateRunningTry,  // "%1": step number, "%2": steps, "%3": try
    StatePass,
    StateFail,
    StateOutOfUse,
    DetailFail,       // "%1": step number, "%2": step name, "%3": why
    DetailProgress,   // "%1": step name, "%2": done, "%3": total
    DetailProgram,    // "%1": step name, "%2": blocks done, "%3": total
    DetailVerify,     // "%1": step name, "%2": blocks done, "%3": total
    Units,            // "%1"
    Start,
    OutOfUseButton,
    BackInUseAction,
    OutOfUseTitle,    // "%1": socket
    OutOfUsePrompt,   // "%1": socket
    Ok,
    Cancel,
    FixtureMistakes,  // "%1": file; the mistakes follow on their own lines
    TimeLeft,         // after an upgrade's blocks: "%1": whole seconds still to go
    DetailAwaiting,   // "%1": step name, "%2": the command, "%3": whole seconds without an answer
    BriefAwaiting,    // a compact tile's line: "%1": the command, "%2": whole seconds
};

QString Text(GangText id, int language);

}  // namespace pb
