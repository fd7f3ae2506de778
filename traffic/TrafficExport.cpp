#include "traffic/TrafficExport.h"

#include "output/CsvCell.h"
#include "traffic/TrafficLog.h"

namespace pb {
namespace {

template <typename Each>
void forRows(const TrafficLog& log, const QList<int>& rows, Each each) {
    if (rows.isEmpty()) {
        for (int r = 0; r < log.rowCount(); ++r) each(r);
    } else {
        for (int r : rows)
            if (r >= 0 && r < log.rowCount()) each(r);
    }
}

const char* directionWord(TrafficRecord::Direction d) {
    switch (d) {
        case TrafficRecord::Direction::Sent:
            return "sent";
        case TrafficRecord::Direction::Received:
            return "received";
        case TrafficRecord::Direction::Failed:
            break;
    }
    return "failed";
}

}  // namespace

QString TrafficAsText(const TrafficLog& log, const QList<int>& rows) {
    QString out;
    QStringList cells;
    for (int c = 0; c < TrafficLog::ColumnCount; ++c) cells << log.headerData(c, Qt::Horizontal).toString();
    out += cells.join(u'\t') + u'\n';
    forRows(log, rows, [&](int r) {
        cells.clear();
        for (int c = 0; c < TrafficLog::ColumnCount; ++c) cells << log.cellText(r, c);
        out += cells.join(u'\t') + u'\n';
    });
    return out;
}

QByteArray TrafficAsCsv(const TrafficLog& log, const QList<int>& rows) {
    QByteArray out;
    AppendCsvRow(out, {QStringLiteral("time"), QStringLiteral("direction"), QStringLiteral("bytes"),
                       QStringLiteral("id"), QStringLiteral("mnemonic"), QStringLiteral("data"),
                       QStringLiteral("checksum"), QStringLiteral("reply_ms"), QStringLiteral("note")});
    forRows(log, rows, [&](int r) {
        const TrafficRow& row = log.row(r);
        const bool failed = row.kind == FrameKind::Failure;
        AppendCsvRow(out, {row.timeText(), QLatin1String(directionWord(row.direction)),
                           failed ? QString() : row.bytesText(), row.idText(), row.mnemonicText(),
                           row.dataText(), QLatin1String(VerdictWord(row)),
                           row.latencyMs < 0 ? QString() : QString::number(row.latencyMs), row.note});
    });
    return out;
}

}  // namespace pb
