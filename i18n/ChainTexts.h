#pragma once
// The words of the records' hash chain, its walk and what the store did with a file that
// vanished, in the three languages of the message table.

#include <QString>

namespace pb {

enum class ChainLine {
    Whole,          // "%1" unit tests, "%2" stations
    Changed,        // "%1" station, "%2" unit test id
    Removed,
    Inserted,
    Broken,         // status line: "%1" rows named
    Refused,        // "%1" unit test id, "%2" why (one of the two below)
    RefusedChanged,
    RefusedBroken,
    StoreReopened,  // "%1" the file
};
inline constexpr int kChainLineCount = int(ChainLine::StoreReopened) + 1;

QString Text(ChainLine id, int language);
// The words of a refusal code kept in the outbox ("chain-changed", "chain-broken").
QString RefusalText(const QString& code, int language);

}  // namespace pb
