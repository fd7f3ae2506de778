#include "app/RecordsModels.h"

#include "records/store/EvidenceColumns.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include "i18n/RecordsTexts.h"
#include "link/FrameText.h"
#include "catalogue/TestNames.h"
#include "catalogue/StepNames.h"
#include "records/store/RecordQueries.h"
#include "records/exports/RecordsExport.h"
#include "records/exports/RunWarning.h"
#include "records/exports/ShownStatus.h"

using pb::RecordText;
using pb::records::RecordQueries;

QString RecordsTimeText(qint64 ms) {
    if (ms <= 0) return {};
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString RecordsOutcomeText(const QString& code, int language) {
    using pb::records::Outcome;
    const auto outcome = pb::records::OutcomeFromCode(code);
    if (!outcome) return code;
    switch (*outcome) {
    case Outcome::Running: return pb::Text(RecordText::OutcomeRunning, language);
    case Outcome::Ok: return pb::Text(RecordText::OutcomeOk, language);
    case Outcome::Error: return pb::Text(RecordText::OutcomeError, language);
    case Outcome::OpenFailed: return pb::Text(RecordText::OutcomeOpenFailed, language);
    case Outcome::Interrupted: return pb::Text(RecordText::OutcomeInterrupted, language);
    case Outcome::Watched: return pb::Text(RecordText::OutcomeWatched, language);
    }
    return code;
}

void RecordsUnitsModel::setLanguage(int language) {
    language_ = language;
    const RecordText heads[] = {RecordText::ColSerial, RecordText::ColSerial, RecordText::ColLink,
                                RecordText::ColModel, RecordText::ColVersion, RecordText::ColLastSeen};
    for (int c = 0; c < RecordQueries::UnitColumns; ++c)
        setHeaderData(c, Qt::Horizontal, pb::Text(heads[c], language));
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QVariant RecordsUnitsModel::data(const QModelIndex& index, int role) const {
    const QVariant value = QSqlQueryModel::data(index, role);
    if (role != Qt::DisplayRole) return value;
    if (index.column() == RecordQueries::UnitLastSeen) return RecordsTimeText(value.toLongLong());
    if (index.column() == RecordQueries::UnitSerial && value.toString().isEmpty())
        return pb::Text(RecordText::Unidentified, language_)
            .arg(QSqlQueryModel::data(this->index(index.row(), RecordQueries::UnitLink)).toString());
    return value;
}

qint64 RecordsUnitsModel::unitId(int row) const {
    return QSqlQueryModel::data(index(row, RecordQueries::UnitId)).toLongLong();
}

void RecordsRunsModel::setLanguage(int language) {
    language_ = language;
    const RecordText heads[] = {RecordText::ColStarted, RecordText::ColStarted, RecordText::ColUnit,
                                RecordText::ColProcedure, RecordText::ColOutcome, RecordText::ColDuration,
                                RecordText::ColOperator, RecordText::ColStation, RecordText::ColStatus,
                                RecordText::ColUnit, RecordText::ColStatus, RecordText::ColUnit,
                                RecordText::ColRecipe, RecordText::ColStep, RecordText::ColStep,
                                RecordText::ColStatus, RecordText::ColStatus, RecordText::ColProcedure,
                                RecordText::ColFixture, RecordText::ColSocket};
    static_assert(std::size(heads) == size_t(RecordQueries::RunColumns), "a heading for every column");
    for (int c = 0; c < RecordQueries::RunColumns; ++c)
        setHeaderData(c, Qt::Horizontal, pb::Text(heads[c], language));
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QVariant RecordsRunsModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::ForegroundRole && index.column() == RecordQueries::RunOutcome) {
        const QString code = QSqlQueryModel::data(index).toString();
        if (code == QLatin1String("ok")) return QBrush(QColor(0x1c, 0x6b, 0x2b));
        if (code != QLatin1String("running")) return QBrush(QColor(0xa1, 0x1d, 0x1d));
        return {};
    }
    const QVariant value = QSqlQueryModel::data(index, role);
    if (role != Qt::DisplayRole) return value;
    const int row = index.row();
    switch (index.column()) {
    case RecordQueries::RunStartMs: return RecordsTimeText(value.toLongLong());
    case RecordQueries::RunProcedure:
        if (isUnitTest(row)) {
            // A retest says which: "Unit test: KV410 (retest 2)".
            const QVariant retest = field(row, RecordQueries::RunRetest);
            const QString name = pb::Text(RecordText::UnitTestOf, language_).arg(recipeName(row));
            if (retest.isNull() || retest.toInt() <= 0) return name;
            return name + QStringLiteral(" (") + pb::Text(RecordText::RetestNumber, language_).arg(retest.toInt()) +
                   u')';
        }
        return pb::ProcedureName(value.toString(), language_);
    case RecordQueries::RunStatus:
        // A unit test that failed: the step where, and why.
        if (isUnitTest(row) && failingStep(row) >= 0) {
            const QString label = failingLabel(row);
            return pb::Text(RecordText::FailedAtStep, language_)
                .arg(failingStep(row) + 1)
                .arg(pb::ShownStepLabel(label, label, language_), pb::records::ShownCause(cause(row, value.toString()), language_));
        }
        return pb::records::ShownRunStatus(
            pb::records::OutcomeFromCode(QSqlQueryModel::data(this->index(row, RecordQueries::RunOutcome)).toString())
                .value_or(pb::records::Outcome::Error),
            cause(row, value.toString()), value.toString(), language_);
    case RecordQueries::RunOutcome: {
        // A unit test reads PASS or FAIL: its verdict, not a run's outcome.
        if (isUnitTest(row)) {
            const QString code = value.toString();
            return pb::RecipeVerdictName(code == QLatin1String("ok")      ? QStringLiteral("pass")
                                         : code == QLatin1String("error") ? QStringLiteral("fail")
                                                                          : code,
                                         language_);
        }
        // A run that ended well short of all it was given says so beside its outcome.
        return RecordsOutcomeText(value.toString(), language_) +
               pb::records::RunWarningText(details(row), language_);
    }
    case RecordQueries::RunDurationMs:
        return value.isNull() ? QString()
                              : QString::number(value.toDouble() / 1000.0, 'f', 1) + QStringLiteral(" s");
    default: return value;
    }
}

QVariant RecordsRunsModel::field(int row, int column) const {
    return QSqlQueryModel::data(index(row, column));
}

QJsonObject RecordsRunsModel::details(int row) const {
    return QJsonDocument::fromJson(field(row, RecordQueries::RunDetails).toString().toUtf8()).object();
}

pb::Cause RecordsRunsModel::cause(int row, const QString& oldText) const {
    return pb::records::CauseOfColumns(field(row, RecordQueries::RunCauseCode), field(row, RecordQueries::RunCauseValues),
                                       oldText);
}

QString RecordsRunsModel::recipeName(int row) const {
    return field(row, RecordQueries::RunRecipe).toString();
}

int RecordsRunsModel::failingStep(int row) const {
    const QVariant step = field(row, RecordQueries::RunFailingStep);
    return step.isNull() ? -1 : step.toInt();
}

QString RecordsRunsModel::failingLabel(int row) const {
    return field(row, RecordQueries::RunFailingLabel).toString();
}

bool RecordsUnitsModel::IsShown(int column) {
    return column != RecordQueries::UnitId && column != RecordQueries::UnitLink;
}

bool RecordsRunsModel::IsShown(int column) {
    return (column != RecordQueries::RunId && column < RecordQueries::RunUnitId) || column == RecordQueries::RunFixture ||
           column == RecordQueries::RunSocket;
}

bool RecordsRunsModel::isUnitTest(int row) const {
    return QSqlQueryModel::data(index(row, RecordQueries::RunKind)).toInt() == 1;
}

qint64 RecordsRunsModel::runId(int row) const {
    return isUnitTest(row) ? 0 : QSqlQueryModel::data(index(row, RecordQueries::RunId)).toLongLong();
}

qint64 RecordsRunsModel::recipeRunId(int row) const {
    return isUnitTest(row) ? QSqlQueryModel::data(index(row, RecordQueries::RunId)).toLongLong() : 0;
}

qint64 RecordsRunsModel::unitId(int row) const {
    return QSqlQueryModel::data(index(row, RecordQueries::RunUnitId)).toLongLong();
}

void RecordsTrafficModel::setTraffic(const pb::records::KeptTraffic& traffic) {
    beginResetModel();
    traffic_ = traffic;
    endResetModel();
}

void RecordsTrafficModel::setLanguage(int language) {
    language_ = language;
    emit headerDataChanged(Qt::Horizontal, 0, Columns - 1);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
}

int RecordsTrafficModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(traffic_.frames.size()) + (traffic_.dropped > 0 ? 1 : 0);
}

int RecordsTrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant RecordsTrafficModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    int row = index.row();
    // The line that says how many frames were not kept, after the first ones.
    if (traffic_.dropped > 0) {
        if (row == traffic_.droppedAfter + 1)
            return index.column() == Bytes
                       ? pb::Text(RecordText::FramesDropped, language_).arg(traffic_.dropped)
                       : QVariant();
        if (row > traffic_.droppedAfter + 1) --row;
    }
    const pb::records::TrafficFrame& f = traffic_.frames.at(row);
    switch (index.column()) {
    case Time: return QDateTime::fromMSecsSinceEpoch(f.ms).toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        return pb::Text(f.direction == pb::records::Direction::Sent       ? RecordText::DirectionSent
                        : f.direction == pb::records::Direction::Received ? RecordText::DirectionReceived
                                                                          : RecordText::DirectionFailed,
                        language_);
    case Bytes: return pb::FrameText(f.bytes);
    case Verdict: return pb::FrameVerdictText(f.verdict, language_);
    case Note: return f.note;
    default: return {};
    }
}

QVariant RecordsTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const RecordText heads[] = {RecordText::ColTime, RecordText::ColDirection, RecordText::ColBytes,
                                RecordText::ColVerdict, RecordText::ColNote};
    return section >= 0 && section < Columns ? pb::Text(heads[section], language_) : QVariant();
}
