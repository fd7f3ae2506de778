#pragma once
// The traffic monitor's rows: a ring of the last frames the link sent and received,
// as a table model for any view.
//
// Appending is cheap: a record is decoded and queued, and the queue reaches the model in
// batches (one rowsRemoved for what falls out of the ring, one rowsInserted for what
// came in), at most every kFlushMs (four times a second: live to the eye, and the
// repaint it costs stays small beside an upgrade running on the same thread) or on
// flush(). A firmware upgrade's thousands of frames thus cost the view four updates a
// second, not one per frame.
//
// Pause holds new rows back instead of showing them: nothing is lost while a technician
// reads, and resuming shows them all at once (the ring bound still applies).

#include <QAbstractTableModel>
#include <QTimer>
#include <deque>
#include <vector>

#include "traffic/TrafficFrame.h"

namespace pb {

class TrafficLog : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Bytes, Id, Mnemonic, Data, Checksum, Latency, ColumnCount };
    static constexpr int kCapacity = 100000;
    static constexpr int kFlushMs = 250;
    // Display text of a cell is cut here (a verify reply is over 1,000 characters; no
    // column shows that many, and laying them out on every repaint would cost); the
    // tooltip, find and the exports have it all.
    static constexpr int kShownChars = 160;
    // data() of this role is true for a row a technician should notice: a failure, or
    // a frame whose checksum is bad or lowercase.
    static constexpr int AlertRole = Qt::UserRole + 1;

    explicit TrafficLog(QObject* parent = nullptr, int capacity = kCapacity);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const TrafficRow& row(int r) const { return rows_[size_t(r)]; }
    // A cell as shown, in the current language.
    QString cellText(int r, int column) const;
    int capacity() const { return capacity_; }
    // Rows pushed out of the ring since the last clear.
    qint64 droppedCount() const { return dropped_; }
    bool isPaused() const { return paused_; }
    // Rows waiting to be shown (while paused, or until the next batch).
    int heldBackCount() const { return int(pending_.size()); }
    int language() const { return language_; }

    // The next row from `fromRow` (exclusive; -1 starts at the top, or the bottom going
    // backwards) whose shown text contains `needle`, case-insensitively, wrapping around;
    // -1 when none does.
    int find(const QString& needle, int fromRow, bool forward = true) const;

public slots:
    // Connect to Link::traffic. Stamps the wall time of arrival.
    void add(const pb::TrafficRecord& record);
    void addAt(const pb::TrafficRecord& record, int wallMs);
    // Shows the queued rows now.
    void flush();
    void setPaused(bool paused);
    // Empties the ring and the queue.
    void clear();
    void setLanguage(int language);

signals:
    void pausedChanged(bool paused);
    // After each batch, and when a paused log holds back another row.
    void countsChanged();

private:
    void scheduleFlush();

    int capacity_;
    int language_ = 0;
    bool paused_ = false;
    qint64 dropped_ = 0;
    std::deque<TrafficRow> rows_;
    std::vector<TrafficRow> pending_;
    TrafficDecoder decoder_;
    QTimer flushTimer_;
};

}  // namespace pb
