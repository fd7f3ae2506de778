#include "app/LineOverviewModel.h"

#include <QBrush>
#include <QDateTime>

#include "app/WindowColours.h"
#include "i18n/OverviewTexts.h"
#include "records/exports/ShownStatus.h"

namespace pb {

namespace {

QString TimeOfDay(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace

void LineOverviewModel::setRows(const QList<records::StationOverview>& rows, qint64 nowMs) {
    beginResetModel();
    rows_ = rows;
    nowMs_ = nowMs;
    endResetModel();
}

void LineOverviewModel::setLanguage(int language) {
    language_ = language;
    emit headerDataChanged(Qt::Horizontal, 0, Columns - 1);
    if (!rows_.isEmpty()) emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, Columns - 1));
}

QString LineOverviewModel::stateText(const records::StationOverview& row) const {
    if (row.away) return Text(OverviewText::Away, language_);
    if (!row.activity.running) return Text(OverviewText::Idle, language_);
    return Text(OverviewText::Running, language_).arg(row.activity.product).arg(row.activity.sockets);
}

QString LineOverviewModel::text(const records::StationOverview& row, int column) const {
    switch (column) {
    case Station: return row.station;
    case LastSeen:
        if (row.seenMs <= 0) return Text(OverviewText::Never, language_);
        return Text(OverviewText::SeenAgo, language_)
            .arg(TimeOfDay(row.seenMs))
            .arg(std::max<qint64>(0, (nowMs_ - row.seenMs) / 1000));
    case State: return stateText(row);
    case Units: return QString::number(row.units);
    case FirstPass:
        return row.firstTests > 0 ? QStringLiteral("%1%").arg(row.firstPassYield * 100.0, 0, 'f', 1) : QString();
    case LastFailure:
        if (row.lastFailureMs <= 0) return Text(OverviewText::NoFailure, language_);
        return Text(OverviewText::LastFailure, language_)
            .arg(TimeOfDay(row.lastFailureMs), row.lastFailureStep, records::ShownCause(row.lastFailureCause, language_));
    default: return {};
    }
}

QVariant LineOverviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    const records::StationOverview& row = rows_[index.row()];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return text(row, index.column());
    if (role == Qt::TextAlignmentRole && (index.column() == Units || index.column() == FirstPass))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && index.column() == State && row.away) return QBrush(colour::GrayText());
    if (role == Qt::ForegroundRole && index.column() == LastFailure && row.lastFailureMs > 0)
        return QBrush(ColourFromBgr(0x2020B0));
    return {};
}

QVariant LineOverviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static constexpr OverviewText kHeads[] = {OverviewText::ColumnStation, OverviewText::ColumnLastSeen,
                                              OverviewText::ColumnState,   OverviewText::ColumnUnits,
                                              OverviewText::ColumnFirstPass, OverviewText::ColumnLastFailure};
    return section >= 0 && section < Columns ? Text(kHeads[section], language_) : QVariant();
}

}  // namespace pb
