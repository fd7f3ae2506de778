#pragma once
// The words of the traffic monitor (its window, columns, directions, checksum
// verdicts and failure lines), in the three languages of the message table.

#include <QString>

namespace pb {

enum class TrafficText {
    WindowTitle,
    MenuEntry,  // the View menu entry that opens the window
    Pause,
    Resume,
    Clear,
    Find,       // label before the find field
    FindNext,
    Copy,
    Save,
    SaveTitle,  // title of the save dialog
    FilterText,
    FilterCsv,
    NotFound,    // "%1": the text searched for
    SaveFailed,  // "%1": file name, "%2": reason
    Frames,         // "%1": rows shown
    FramesDropped,  // "%1": rows shown, "%2": older rows dropped from the ring
    PausedHeld,     // "%1": frames held back while paused
    ColumnTime,
    ColumnDirection,
    ColumnBytes,
    ColumnId,
    ColumnMnemonic,
    ColumnData,
    ColumnChecksum,
    ColumnLatency,
    Sent,
    Received,
    Failed,
    VerdictGood,
    VerdictBad,
    VerdictLowercase,
    VerdictNone,
    NoReply,     // no complete reply within the time limit
    DeviceGone,  // "%1": what the port or socket said
    LinkClosed,  // the link was closed while a reply was awaited
};

QString Text(TrafficText id, int language);

}  // namespace pb
