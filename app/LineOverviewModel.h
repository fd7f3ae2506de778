#pragma once
// The line's overview as a table: one row a station (station, last seen, what it does
// now, its units today, their first-pass yield, its last failure today), in one of the
// three languages. The rows are records::ReadLineOverview's; the model only words them.

#include <QAbstractTableModel>
#include <QList>

#include "records/sync/LineOverview.h"

namespace pb {

class LineOverviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Station, LastSeen, State, Units, FirstPass, LastFailure, Columns };

    explicit LineOverviewModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The rows as read at `nowMs` (the age of each beat is told from it).
    void setRows(const QList<records::StationOverview>& rows, qint64 nowMs);
    void setLanguage(int language);
    const QList<records::StationOverview>& rows() const { return rows_; }
    // The state column's words for `row`.
    QString stateText(const records::StationOverview& row) const;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Columns; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const records::StationOverview& row, int column) const;

    QList<records::StationOverview> rows_;
    qint64 nowMs_ = 0;
    int language_ = 0;
};

}  // namespace pb
