#pragma once
// What the window says while long work goes on and when it ends unusually: the
// seconds left of a fixed wait, the firmware bars' blocks and times, blocks of a file
// the model does not take, a file that is no firmware file, and a unit an upgrade may
// have left without firmware. The three languages of the message table (the same index).

#include <QString>

namespace pb {

enum class FeedbackText {
    SecondsLeft,          // after a status text: %1 seconds
    BarProgress,          // %1 done, %2 total, %3 percent, %4 elapsed, %5 left
    BlocksLeftOut,        // after "Command ok.": %1 blocks not sent, %2 the model's cap
    BlocksLeftOutAdvice,  // %1 blocks in the file, %2 the model's cap
    NotAFirmwareFile,
    FlashMayBeBroken,        // after "Command error!"
    FlashMayBeBrokenAdvice,  // the whole sentence, for the tool tip and the records
    SignedRelease,           // beside the firmware file: %1 key id, %2 version, %3 models
};

QString Text(FeedbackText id, int language);

// "Set factory (16 s left)".
QString CountdownStatus(const QString& status, int secondsLeft, int language);

// A duration as the bars show it: "m:ss", or "h:mm:ss" from an hour on.
QString ClockDuration(qint64 ms);

// "37 / 124 blocks   29%   0:12 elapsed   0:29 left"; remainingMs below 0 when no block
// is done yet to estimate from ("--:--").
QString BarProgressText(int done, int total, qint64 elapsedMs, qint64 remainingMs, int language);

}  // namespace pb
