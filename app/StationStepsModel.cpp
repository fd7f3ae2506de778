#include "app/StationStepsModel.h"

#include "i18n/CauseTexts.h"
#include "i18n/MeasurementTexts.h"

#include <QBrush>
#include <QColor>

#include "i18n/StationTexts.h"
#include "catalogue/StepNames.h"

namespace pb {

void StationStepsModel::setRecipe(const Recipe& recipe) {
    beginResetModel();
    rows_.clear();
    for (const RecipeStep& step : recipe.steps) {
        Row row;
        row.step = step;
        rows_.append(row);
    }
    endResetModel();
}

void StationStepsModel::setLanguage(int language) {
    language_ = language;
    if (!rows_.isEmpty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void StationStepsModel::clearRun() {
    for (Row& row : rows_) {
        row.state = State::Waiting;
        row.attempt = 0;
        row.done = row.total = 0;
        row.verdict = {};
        row.measured = {};
    }
    if (!rows_.isEmpty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void StationStepsModel::stepStarted(int i, int attempt) {
    if (i < 0 || i >= rows_.size()) return;
    rows_[i].state = State::Running;
    rows_[i].attempt = attempt;
    rows_[i].done = rows_[i].total = 0;
    changed(i);
}

void StationStepsModel::stepProgress(int i, int done, int total) {
    if (i < 0 || i >= rows_.size() || rows_[i].state != State::Running) return;
    rows_[i].done = done;
    rows_[i].total = total;
    changed(i);
}

void StationStepsModel::stepEnded(int i, const StepVerdict& verdict, const Measurements& measured) {
    if (i < 0 || i >= rows_.size()) return;
    Row& row = rows_[i];
    row.verdict = verdict;
    row.measured = measured;
    row.state = !verdict.ran()     ? State::NotRun
                : verdict.passed() ? State::Passed
                                   : State::Failed;
    changed(i);
}

void StationStepsModel::markUnreached() {
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_[i].state != State::Waiting && rows_[i].state != State::Running) continue;
        rows_[i].state = State::NotRun;
        changed(i);
    }
}

int StationStepsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int StationStepsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString StationStepsModel::stateText(const Row& row) const {
    switch (row.state) {
        case State::Waiting:
            return Text(StationText::StateWaiting, language_);
        case State::Running:
            return Text(StationText::StateRunning, language_).arg(row.attempt);
        case State::Passed:
            return Text(StationText::StatePassed, language_);
        case State::Failed:
            return Text(StationText::StateFailed, language_);
        case State::NotRun:
            return Text(StationText::StateNotRun, language_);
    }
    return {};
}

QString StationStepsModel::measuredText(const Row& row) const {
    // A failure says why; a pass shows what was read.
    if (row.state == State::Running && (row.done > 0 || row.total > 0))
        return row.total > 0 ? QStringLiteral("%1 / %2").arg(row.done).arg(row.total) : QString::number(row.done);
    if (row.state == State::Failed) {
        const QString why = CauseText(row.verdict.cause, language_);
        if (row.measured.isEmpty()) return why;
        return why + QStringLiteral(" (") + MeasurementsText(row.measured, language_) + QLatin1Char(')');
    }
    const QString found = MeasurementsText(row.measured, language_);
    // A pass with a note (no upgrade needed, blocks left out) says it first.
    if (row.state == State::Passed && row.verdict.cause.code != CauseCode::Ok)
        return CauseText(row.verdict.cause, language_) + (found.isEmpty() ? QString() : QStringLiteral(" (") + found + u')');
    return found;
}

QVariant StationStepsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    const Row& row = rows_.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case ColumnNumber:
                return index.row() + 1;
            case ColumnStep:
                return StepName(row.step, language_);
            case ColumnState:
                return stateText(row);
            case ColumnMeasured:
                return measuredText(row);
        }
    }
    if (role == Qt::ForegroundRole && index.column() == ColumnState) {
        if (row.state == State::Passed) return QBrush(QColor(0, 120, 0));
        if (row.state == State::Failed) return QBrush(QColor(190, 0, 0));
        if (row.state == State::NotRun) return QBrush(QColor(128, 128, 128));
    }
    if (role == Qt::BackgroundRole && row.state == State::Running) return QBrush(QColor(255, 243, 176));
    if (role == Qt::TextAlignmentRole && index.column() == ColumnNumber)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant StationStepsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case ColumnNumber:
            return QStringLiteral("#");
        case ColumnStep:
            return Text(StationText::ColumnStep, language_);
        case ColumnState:
            return Text(StationText::ColumnState, language_);
        case ColumnMeasured:
            return Text(StationText::ColumnMeasured, language_);
    }
    return {};
}

void StationStepsModel::changed(int i) {
    emit dataChanged(index(i, 0), index(i, ColumnCount - 1));
}

}  // namespace pb
