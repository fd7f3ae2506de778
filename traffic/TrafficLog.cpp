#include "traffic/TrafficLog.h"

#include <QTime>

#include "i18n/TrafficTexts.h"

namespace pb {
namespace {

TrafficText directionText(TrafficRecord::Direction d) {
    switch (d) {
        case TrafficRecord::Direction::Sent:
            return TrafficText::Sent;
        case TrafficRecord::Direction::Received:
            return TrafficText::Received;
        case TrafficRecord::Direction::Failed:
            break;
    }
    return TrafficText::Failed;
}

TrafficText verdictText(ChecksumVerdict v) {
    switch (v) {
        case ChecksumVerdict::Good:
            return TrafficText::VerdictGood;
        case ChecksumVerdict::Bad:
            return TrafficText::VerdictBad;
        case ChecksumVerdict::Lowercase:
            return TrafficText::VerdictLowercase;
        case ChecksumVerdict::None:
            break;
    }
    return TrafficText::VerdictNone;
}

// What a failure row shows where a frame's bytes would stand.
QString failureText(const TrafficRow& row, int language) {
    switch (row.failure) {
        case FailureKind::NoReply:
            return Text(TrafficText::NoReply, language);
        case FailureKind::DeviceGone:
            return Text(TrafficText::DeviceGone, language).arg(row.failureDetail());
        case FailureKind::LinkClosed:
            return Text(TrafficText::LinkClosed, language);
        case FailureKind::None:
        case FailureKind::Other:
            break;
    }
    return row.note;
}

}  // namespace

TrafficLog::TrafficLog(QObject* parent, int capacity) : QAbstractTableModel(parent), capacity_(capacity) {
    qRegisterMetaType<pb::TrafficRecord>();
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TrafficLog::flush);
}

int TrafficLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TrafficLog::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString TrafficLog::cellText(int r, int column) const {
    const TrafficRow& row = rows_[size_t(r)];
    const bool failed = row.kind == FrameKind::Failure;
    switch (column) {
        case Time:
            return row.timeText();
        case Direction:
            return Text(directionText(row.direction), language_);
        case Bytes:
            return failed ? failureText(row, language_) : row.bytesText();
        case Id:
            return row.idText();
        case Mnemonic:
            return row.mnemonicText();
        case Data:
            return row.dataText();
        case Checksum:
            return failed ? QString() : Text(verdictText(row.verdict), language_);
        case Latency:
            return row.latencyMs < 0 ? QString() : QString::number(row.latencyMs);
        default:
            return {};
    }
}

QVariant TrafficLog::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) {
        QString text = cellText(index.row(), index.column());
        if (text.size() > kShownChars) {
            text.truncate(kShownChars);
            text += QChar(0x2026);
        }
        return text;
    }
    if (role == Qt::ToolTipRole && (index.column() == Bytes || index.column() == Data))
        return cellText(index.row(), index.column());
    if (role == AlertRole) {
        const TrafficRow& row = rows_[size_t(index.row())];
        return row.kind == FrameKind::Failure || row.verdict == ChecksumVerdict::Bad ||
               row.verdict == ChecksumVerdict::Lowercase;
    }
    if (role == Qt::TextAlignmentRole && index.column() == Latency)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    static constexpr TrafficText kHeads[ColumnCount] = {
        TrafficText::ColumnTime, TrafficText::ColumnDirection, TrafficText::ColumnBytes,
        TrafficText::ColumnId,   TrafficText::ColumnMnemonic,  TrafficText::ColumnData,
        TrafficText::ColumnChecksum, TrafficText::ColumnLatency};
    if (section < 0 || section >= ColumnCount) return {};
    return Text(kHeads[section], language_);
}

void TrafficLog::add(const pb::TrafficRecord& record) {
    addAt(record, QTime::currentTime().msecsSinceStartOfDay());
}

void TrafficLog::addAt(const pb::TrafficRecord& record, int wallMs) {
    pending_.push_back(decoder_.decode(record, wallMs));
    // A queue longer than the ring would only be dropped when shown.
    if (pending_.size() > size_t(capacity_) * 2) {
        const size_t excess = pending_.size() - size_t(capacity_);
        pending_.erase(pending_.begin(), pending_.begin() + qsizetype(excess));
        dropped_ += qint64(excess);
    }
    if (paused_)
        emit countsChanged();
    else
        scheduleFlush();
}

void TrafficLog::scheduleFlush() {
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void TrafficLog::flush() {
    flushTimer_.stop();
    if (paused_ || pending_.empty()) return;
    size_t incoming = pending_.size();
    size_t skip = 0;  // queued rows that would fall out of the ring at once
    if (incoming > size_t(capacity_)) {
        skip = incoming - size_t(capacity_);
        incoming = size_t(capacity_);
        dropped_ += qint64(skip);
    }
    const size_t overflow = rows_.size() + incoming > size_t(capacity_) ? rows_.size() + incoming - size_t(capacity_) : 0;
    if (overflow > 0) {
        beginRemoveRows({}, 0, int(overflow) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + qsizetype(overflow));
        dropped_ += qint64(overflow);
        endRemoveRows();
    }
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(incoming) - 1);
    for (size_t i = skip; i < pending_.size(); ++i) rows_.push_back(std::move(pending_[i]));
    pending_.clear();
    endInsertRows();
    emit countsChanged();
}

void TrafficLog::setPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    emit pausedChanged(paused_);
    if (!paused_) flush();
    emit countsChanged();
}

void TrafficLog::clear() {
    flushTimer_.stop();
    beginResetModel();
    rows_.clear();
    pending_.clear();
    dropped_ = 0;
    decoder_.reset();
    endResetModel();
    emit countsChanged();
}

void TrafficLog::setLanguage(int language) {
    language_ = language;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int TrafficLog::find(const QString& needle, int fromRow, bool forward) const {
    const int n = rowCount();
    if (needle.isEmpty() || n == 0) return -1;
    if (fromRow < 0 || fromRow >= n) fromRow = forward ? n - 1 : 0;
    for (int step = 1; step <= n; ++step) {
        const int r = forward ? (fromRow + step) % n : (fromRow - step + n) % n;
        for (int c = 0; c < ColumnCount; ++c)
            if (cellText(r, c).contains(needle, Qt::CaseInsensitive)) return r;
    }
    return -1;
}

}  // namespace pb
