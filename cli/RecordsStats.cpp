#include "cli/RecordsStats.h"

#include "i18n/CauseTexts.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>

#include "cli/ExitCode.h"
#include "cli/Output.h"
#include "records/figures/DurationFigures.h"

namespace cli {
namespace {

using pb::records::FailureRow;
using pb::records::FigureBy;
using pb::records::LineFigures;
using pb::records::SocketHealth;
using pb::records::YieldRow;

QJsonObject YieldJson(const YieldRow& r) {
    return {{QStringLiteral("key"), r.key},
            {QStringLiteral("tests"), r.tests},
            {QStringLiteral("units"), r.units},
            {QStringLiteral("passed"), r.passed},
            {QStringLiteral("failed"), r.failed},
            {QStringLiteral("interrupted"), r.interrupted},
            {QStringLiteral("firstTests"), r.firstTests},
            {QStringLiteral("firstPassed"), r.firstPassed},
            {QStringLiteral("firstPassYield"), r.firstPassYield() ? QJsonValue(*r.firstPassYield()) : QJsonValue()},
            {QStringLiteral("finalPassed"), r.finalPassed},
            {QStringLiteral("finalYield"), r.finalYield() ? QJsonValue(*r.finalYield()) : QJsonValue()},
            {QStringLiteral("retests"), r.retests()}};
}

void AddHealth(QJsonObject& o, const SocketHealth& h) {
    o.insert(QStringLiteral("fixture"), h.fixture);
    o.insert(QStringLiteral("socket"), h.socket);
    o.insert(QStringLiteral("othersTests"), h.othersTests);
    o.insert(QStringLiteral("othersFailed"), h.othersFailed);
    o.insert(QStringLiteral("p"), h.p);
    o.insert(QStringLiteral("flagged"), h.flagged);
}

QJsonObject FailureJson(const FailureRow& r, bool byStep, int language) {
    QJsonObject o{{QStringLiteral("failures"), r.failures},
                  {QStringLiteral("share"), r.share},
                  {QStringLiteral("cumulative"), r.cumulative}};
    if (byStep) {
        o.insert(QStringLiteral("recipe"), r.recipe);
        // Steps are numbered from 1, as the station, the exports and the reports number them.
        o.insert(QStringLiteral("step"), r.step >= 0 ? QJsonValue(r.step + 1) : QJsonValue());
        o.insert(QStringLiteral("label"), r.label);
    } else {
        o.insert(QStringLiteral("cause"), r.cause);
        // The cause's name for a person, in the language asked (the code is the fact).
        if (const auto code = pb::CauseCodeNamed(r.cause)) o.insert(QStringLiteral("title"), pb::CauseTitle(*code, language));
    }
    return o;
}

using pb::records::Durations;

// Count, extremes, percentiles and mean of a list of times, after `key`'s fields.
QJsonObject DurationsJson(QJsonObject o, const Durations& d) {
    o.insert(QStringLiteral("count"), d.count);
    o.insert(QStringLiteral("minMs"), d.minMs);
    o.insert(QStringLiteral("p50Ms"), d.p50Ms);
    o.insert(QStringLiteral("p95Ms"), d.p95Ms);
    o.insert(QStringLiteral("p99Ms"), d.p99Ms);
    o.insert(QStringLiteral("maxMs"), d.maxMs);
    o.insert(QStringLiteral("meanMs"), std::round(d.meanMs * 10.0) / 10.0);
    return o;
}
const QStringList kDurationColumns{"count", "minMs", "p50Ms", "p95Ms", "p99Ms", "maxMs", "meanMs"};

// A CSV field: quoted when it holds a comma, a quote or a line end.
QString CsvField(const QJsonValue& v) {
    QString text = v.isString() ? v.toString() : v.isBool() ? (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                                            : QString::number(v.toDouble(), 'g', 12);
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n'))
        text = u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return text;
}

// Rows of one kind of event, in the format asked; `columns` in the order shown.
class Printer {
public:
    // The CSV's columns, when its sections have different ones.
    Printer(StatsFormat format, QStringList csvColumns) : format_(format), csvColumns_(std::move(csvColumns)) {}

    void section(const QString& event, const QStringList& columns, const QList<QJsonObject>& rows) {
        if (format_ == StatsFormat::Json) {
            for (QJsonObject o : rows) {
                o.insert(QStringLiteral("event"), event);
                Emit(stdout, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
            }
            return;
        }
        if (format_ == StatsFormat::Csv) {
            // One header for every section: the columns of all of them.
            const QStringList& all = csvColumns_.isEmpty() ? columns : csvColumns_;
            QStringList lines;
            if (!headerDone_) lines << QStringLiteral("event,") + all.join(u',');
            headerDone_ = true;
            for (const QJsonObject& o : rows) {
                QStringList fields{event};
                for (const QString& c : all) fields << (o.contains(c) ? CsvField(o.value(c)) : QString());
                lines << fields.join(u',');
            }
            EmitLines(stdout, lines);
            return;
        }
        // A table: each column as wide as its widest text.
        QList<QStringList> cells{columns};
        for (const QJsonObject& o : rows) {
            QStringList line;
            for (const QString& c : columns) line << tableText(c, o.value(c));
            cells << line;
        }
        QList<qsizetype> widths(columns.size(), 0);
        for (const QStringList& line : cells)
            for (int i = 0; i < line.size(); ++i) widths[i] = qMax(widths[i], line[i].size());
        QStringList lines{event};
        for (const QStringList& line : cells) {
            QStringList padded;
            for (int i = 0; i < line.size(); ++i)
                padded << (i == 0 ? line[i].leftJustified(widths[i]) : line[i].rightJustified(widths[i]));
            lines << QStringLiteral("  ") + padded.join(QStringLiteral("  ")).trimmed();
        }
        if (rows.isEmpty()) lines << QStringLiteral("  (none)");
        EmitLines(stdout, lines);
    }

private:
    static QString tableText(const QString& column, const QJsonValue& v) {
        if (column == QLatin1String("firstPassYield") || column == QLatin1String("finalYield") ||
            column == QLatin1String("share") ||
            column == QLatin1String("cumulative"))
            return v.isDouble() ? QString::number(v.toDouble() * 100.0, 'f', 1) + QStringLiteral(" %") : QStringLiteral("–");
        if (v.isNull() || v.isUndefined()) return QStringLiteral("–");
        if (column == QLatin1String("p")) return QString::number(v.toDouble(), 'g', 3);
        if (column == QLatin1String("flagged")) return v.toBool() ? QStringLiteral("FLAGGED") : QString();
        if (v.isString()) return v.toString().isEmpty() ? QStringLiteral("-") : v.toString();
        return QString::number(v.toDouble(), 'g', 12);
    }

    StatsFormat format_;
    QStringList csvColumns_;
    bool headerDone_ = false;
};

const QStringList kYieldColumns{"key",         "tests",          "units",       "passed",     "failed",
                                "interrupted", "firstTests",     "firstPassed", "firstPassYield",
                                "finalPassed", "finalYield",     "retests"};

}  // namespace

namespace {

// --by upgrade, duration or latency: how long things take, from DurationFigures.
int PrintDurations(pb::records::RecordStore& store, const StatsJob& job) {
    pb::records::DurationFigures figures(store.database());
    QList<QJsonObject> rows;
    QStringList keys;
    QString event = job.by;
    if (job.by == QLatin1String("upgrade")) {
        keys = QStringList{"protocol", "blocks"};
        for (const auto& r : figures.upgradeTimes(job.filter))
            rows << DurationsJson({{QStringLiteral("protocol"), r.protocol}, {QStringLiteral("blocks"), r.blocks}},
                                  r.times);
    } else if (job.by == QLatin1String("duration")) {
        keys = QStringList{"recipe"};
        for (const auto& r : figures.recipeTimes(job.filter))
            rows << DurationsJson({{QStringLiteral("recipe"), r.recipe.isEmpty() ? QStringLiteral("all") : r.recipe}},
                                  r.times);
    } else {
        keys = QStringList{"station", "link", "runs"};
        for (const auto& r : figures.latencies(job.filter))
            rows << DurationsJson({{QStringLiteral("station"), r.linkKind.isEmpty() ? QStringLiteral("all") : r.station},
                                   {QStringLiteral("link"), r.linkKind.isEmpty() ? QStringLiteral("all") : r.linkKind},
                                   {QStringLiteral("runs"), r.runs}},
                                  r.times);
    }
    if (!figures.error().isEmpty()) {
        EmitLines(stderr, {QStringLiteral("panelbench-cli: the figures could not be read: ") + figures.error()});
        return kExitCommandFailed;
    }
    const QStringList columns = keys + kDurationColumns;
    Printer print(job.format, columns);
    print.section(event, columns, rows);
    return kExitOk;
}

bool IsDurationGrouping(const QString& by) {
    return by == QLatin1String("upgrade") || by == QLatin1String("duration") || by == QLatin1String("latency");
}

}  // namespace

bool IsStatsGrouping(const QString& by) {
    return by == QLatin1String("step") || by == QLatin1String("cause") || by == QLatin1String("reason") ||
           IsDurationGrouping(by) || pb::records::FigureByFromName(by).has_value();
}

int PrintStats(pb::records::RecordStore& store, const StatsJob& job) {
    if (IsDurationGrouping(job.by)) return PrintDurations(store, job);
    LineFigures figures(store.database());
    const auto failed = [&] {
        EmitLines(stderr, {QStringLiteral("panelbench-cli: the figures could not be read: ") + figures.error()});
        return kExitCommandFailed;
    };
    // The failures' Pareto: by step with the causes after, or by cause alone ("reason" is
    // its older name).
    const bool byCause = job.by == QLatin1String("cause") || job.by == QLatin1String("reason");
    if (job.by == QLatin1String("step") || byCause) {
        Printer print(job.format, {"recipe", "step", "label", "cause", "title", "failures", "share", "cumulative"});
        QList<QJsonObject> steps, causes;
        if (!byCause)
            for (const FailureRow& r : figures.failuresByStep(job.filter)) steps << FailureJson(r, true, job.language);
        if (!figures.error().isEmpty()) return failed();
        for (const FailureRow& r : figures.failuresByCause(job.filter)) causes << FailureJson(r, false, job.language);
        if (!figures.error().isEmpty()) return failed();
        if (!byCause)
            print.section(QStringLiteral("failures"), {"recipe", "step", "label", "failures", "share", "cumulative"}, steps);
        print.section(QStringLiteral("causes"), {"cause", "title", "failures", "share", "cumulative"}, causes);
        return kExitOk;
    }
    const FigureBy by = *pb::records::FigureByFromName(job.by);
    QList<QJsonObject> rows;
    for (const YieldRow& r : figures.yields(job.filter, by, job.shifts)) rows << YieldJson(r);
    if (!figures.error().isEmpty()) return failed();
    QStringList columns = kYieldColumns;
    if (by == FigureBy::Socket) {
        // Each socket beside the rest of its fixture.
        const QList<SocketHealth> health = figures.fixtureHealth(job.filter);
        if (!figures.error().isEmpty()) return failed();
        for (QJsonObject& o : rows)
            for (const SocketHealth& h : health)
                if (o.value(QStringLiteral("key")).toString() == h.fixture + u'/' + h.socket) AddHealth(o, h);
        columns << QStringLiteral("p") << QStringLiteral("flagged");
    }
    QJsonObject all = YieldJson(figures.total(job.filter));
    if (!figures.error().isEmpty()) return failed();
    all.insert(QStringLiteral("key"), QStringLiteral("all"));
    Printer print(job.format, columns);
    print.section(job.by, columns, rows);
    print.section(QStringLiteral("total"), kYieldColumns, {all});
    return kExitOk;
}

}  // namespace cli
