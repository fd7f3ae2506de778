#pragma once
// The traffic monitor's rows as text (as shown, tab-separated, in the current
// language: for reading and pasting) and as CSV (RFC 4180, UTF-8, fixed English column
// names and words: for programs).
//
// CSV columns: time, direction (sent/received/failed), bytes (control bytes named),
// id, mnemonic, data, checksum (good/bad/lowercase/none; empty for a failure),
// reply_ms (empty when there is none), note (the link's words for a failure).

#include <QByteArray>
#include <QList>
#include <QString>

namespace pb {

class TrafficLog;

// `rows` in ascending order; empty means every row.
QString TrafficAsText(const TrafficLog& log, const QList<int>& rows = {});
QByteArray TrafficAsCsv(const TrafficLog& log, const QList<int>& rows = {});

}  // namespace pb
