#include "traffic/TrafficExport.h"

#include <QSaveFile>

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

QByteArray csvField(const QString& text) {
    QByteArray f = text.toUtf8();
    if (f.contains(',') || f.contains('"') || f.contains('\n') || f.contains('\r')) {
        f.replace("\"", "\"\"");
        f = '"' + f + '"';
    }
    return f;
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
    QByteArray out = "time,direction,bytes,id,mnemonic,data,checksum,reply_ms,note\r\n";
    forRows(log, rows, [&](int r) {
        const TrafficRow& row = log.row(r);
        const bool failed = row.kind == FrameKind::Failure;
        out += row.timeText().toLatin1() + ',' + directionWord(row.direction) + ',' +
               csvField(failed ? QString() : row.bytesText()) + ',' + csvField(row.idText()) + ',' +
               csvField(row.mnemonicText()) + ',' + csvField(row.dataText()) + ',' + VerdictWord(row) + ',' +
               (row.latencyMs < 0 ? QByteArray() : QByteArray::number(row.latencyMs)) + ',' +
               csvField(row.note) + "\r\n";
    });
    return out;
}

SaveResult WriteTrafficFile(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {false, file.errorString()};
    if (file.write(content) != content.size()) return {false, file.errorString()};
    if (!file.commit()) return {false, file.errorString()};
    return {true, {}};
}

}  // namespace pb
