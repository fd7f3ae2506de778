#pragma once
// The words of the line's overview window (every station of the line: what it does now,
// its units today, their first-pass yield, its last failure) and of its menu entry, in
// the three languages of the message table. "%1", "%2" ... filled as named.

#include <QString>

namespace pb {

enum class OverviewText {
    MenuEntry,
    Title,
    ColumnStation,
    ColumnLastSeen,
    ColumnState,
    ColumnUnits,
    ColumnFirstPass,
    ColumnLastFailure,
    Idle,
    Running,      // "%1": product, "%2": sockets
    Away,
    Never,
    SeenAgo,      // "%1": time of day, "%2": seconds ago
    LastFailure,  // "%1": time of day, "%2": step, "%3": reason
    NoFailure,
    ReadAt,       // "%1": the server, "%2": time of day
    ReadFailed,   // "%1": why
    NoServerHint, // the menu entry's tool tip while no shared server is set
};

QString Text(OverviewText id, int language);

}  // namespace pb
