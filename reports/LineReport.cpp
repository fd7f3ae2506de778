#include "reports/LineReport.h"

#include "i18n/CauseTexts.h"

#include <QDateTime>
#include <QSet>
#include <cmath>

#include "catalogue/StepNames.h"
#include "catalogue/TestNames.h"
#include "i18n/ChartTexts.h"
#include "i18n/RecordsTexts.h"
#include "records/exports/RecordsExport.h"
#include "reports/ChartColours.h"

namespace pb::reports {
namespace {

using records::FailureRow;

QString Count(qint64 n) { return QString::number(n); }

// A bound of the filter as a person gave it: a day, or a day and time.
QString DayOrTime(qint64 ms, bool endOfDay) {
    QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
    if (t.time() == QTime(0, 0)) return (endOfDay ? t.addDays(-1) : t).date().toString(Qt::ISODate);
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// A failing step as the records window's charts name it: its label in `language`, or its
// number; with the recipe when the filter holds several.
QString StepName(const FailureRow& row, bool withRecipe, int language) {
    QString name = row.label.isEmpty() ? QString::number(row.step + 1) : ShownStepLabel(row.label, row.label, language);
    return withRecipe ? row.recipe + QStringLiteral(": ") + name : name;
}

bool SeveralRecipes(const QList<FailureRow>& rows) {
    QSet<QString> recipes;
    for (const FailureRow& f : rows) recipes << f.recipe;
    return recipes.size() > 1;
}

}  // namespace

QString ReportPercent(double share) { return QString::number(100.0 * share, 'f', 1) + u'%'; }
QString ReportPercent(std::optional<double> share) { return share ? ReportPercent(*share) : QStringLiteral("–"); }

LineReportData ReadLineReport(QSqlDatabase db, const records::RunFilter& filter) {
    records::LineFigures figures(std::move(db));
    LineReportData data;
    data.filter = filter;
    const auto keep = [&] {
        if (data.error.isEmpty()) data.error = figures.error();
    };
    data.total = figures.total(filter);
    keep();
    data.days = figures.yields(filter, records::FigureBy::Day);
    keep();
    data.steps = figures.failuresByStep(filter);
    keep();
    data.reasons = figures.failuresByCause(filter);
    keep();
    data.sockets = figures.fixtureHealth(filter);
    keep();
    return data;
}

QString FilterInWords(const records::RunFilter& f, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    QStringList words;
    if (f.fromMs > 0) words << t(ChartText::FilterFrom).arg(DayOrTime(f.fromMs, false));
    if (f.toMs > 0) words << t(ChartText::FilterTo).arg(DayOrTime(f.toMs, true));
    if (f.unitId > 0) words << t(ChartText::FilterUnit).arg(f.unitId);
    if (!f.serial.isEmpty()) words << t(ChartText::FilterSerial).arg(f.serial);
    if (!f.station.isEmpty()) words << t(ChartText::FilterStation).arg(f.station);
    if (!f.fixture.isEmpty()) words << t(ChartText::FilterFixture).arg(f.fixture);
    if (!f.socket.isEmpty()) words << t(ChartText::FilterSocket).arg(f.socket);
    if (f.outcome) words << t(ChartText::FilterOutcome).arg(records::OutcomeName(*f.outcome, language));
    if (!f.procedure.isEmpty()) words << t(ChartText::FilterTest).arg(ProcedureName(f.procedure, language));
    if (f.selects()) words << t(ChartText::FilterChosen).arg(f.runIds.size() + f.recipeRunIds.size());
    return words.isEmpty() ? t(ChartText::FilterAll) : words.join(language == 0 ? QStringLiteral(", ") : QStringLiteral("，"));
}

QString LineReportTitle(const records::RunFilter& filter, int language) {
    return Text(ChartText::LineReportTitle, language).arg(FilterInWords(filter, language));
}

BarChart YieldChart(const LineReportData& data, int language) {
    BarChart chart;  // untitled: the report's heading names it
    chart.categoryAxis = Text(ChartText::AxisDay, language);
    chart.valueAxis = Text(ChartText::AxisUnitTests, language);
    chart.lineAxis = Text(ChartText::AxisFirstPass, language);
    ChartSeries passed{Text(ChartText::SeriesPassed, language), kPassedColour, {}};
    ChartSeries failed{Text(ChartText::SeriesFailed, language), kFailedColour, {}};
    ChartSeries firstPass{Text(ChartText::SeriesFirstPass, language), kLineColour, {}};
    for (const records::YieldRow& day : data.days) {
        chart.categories << day.day.toString(QStringLiteral("MM-dd"));
        passed.values << double(day.passed);
        failed.values << double(day.failed);
        // A day that first tested no unit has no first-pass yield to draw.
        firstPass.values << day.firstPassYield().value_or(std::nan(""));
    }
    chart.bars = {passed, failed};
    chart.line = firstPass;
    return chart;
}

BarChart ParetoChart(const LineReportData& data, int language) {
    BarChart chart;
    chart.categoryAxis = Text(ChartText::AxisStep, language);
    chart.valueAxis = Text(ChartText::AxisFailures, language);
    chart.lineAxis = Text(ChartText::AxisCumulative, language);
    ChartSeries bars{Text(ChartText::SeriesFailures, language), kFailedColour, {}};
    ChartSeries cumulative{Text(ChartText::SeriesCumulative, language), kLineColour, {}};
    const bool withRecipe = SeveralRecipes(data.steps);
    for (const FailureRow& f : data.steps) {
        chart.categories << StepName(f, withRecipe, language);
        bars.values << double(f.failures);
        cumulative.values << f.cumulative;
    }
    chart.bars = {bars};
    chart.line = cumulative;
    return chart;
}

ReportTable TotalsTable(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    const records::YieldRow& all = data.total;
    return {{t(ChartText::UnitsTested), t(ChartText::AxisUnitTests), t(ChartText::SeriesPassed),
             t(ChartText::SeriesFailed), t(ChartText::SeriesFirstPass), t(ChartText::SeriesFinal),
             t(ChartText::Retests)},
            {{Count(all.units), Count(all.tests), Count(all.passed), Count(all.failed),
              ReportPercent(all.firstPassYield()), ReportPercent(all.finalYield()), Count(all.retests())}},
            {true, true, true, true, true, true, true}};
}

ReportTable YieldTable(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    ReportTable table{{t(ChartText::AxisDay), t(ChartText::UnitsTested), t(ChartText::AxisUnitTests),
                       t(ChartText::SeriesPassed), t(ChartText::SeriesFailed), t(ChartText::SeriesFirstPass),
                       t(ChartText::SeriesFinal), t(ChartText::Retests)},
                      {},
                      {false, true, true, true, true, true, true, true}};
    for (const records::YieldRow& d : data.days)
        table.rows << QStringList{d.key,          Count(d.units),  Count(d.tests),
                                  Count(d.passed), Count(d.failed), ReportPercent(d.firstPassYield()),
                                  ReportPercent(d.finalYield()), Count(d.retests())};
    return table;
}

ReportTable ParetoTable(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    ReportTable table{{t(ChartText::AxisStep), Text(RecordText::ColRecipe, language), t(ChartText::AxisFailures),
                       t(ChartText::ColShare), t(ChartText::SeriesCumulative)},
                      {},
                      {false, false, true, true, true}};
    for (const FailureRow& f : data.steps)
        table.rows << QStringList{QStringLiteral("%1. %2").arg(f.step + 1).arg(StepName(f, false, language)), f.recipe,
                                  Count(f.failures), ReportPercent(f.share), ReportPercent(f.cumulative)};
    return table;
}

ReportTable ReasonTable(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    ReportTable table{{t(ChartText::ColReason), t(ChartText::AxisFailures), t(ChartText::ColShare),
                       t(ChartText::SeriesCumulative)},
                      {},
                      {false, true, true, true}};
    for (const FailureRow& f : data.reasons) {
        const auto code = CauseCodeNamed(f.cause);
        table.rows << QStringList{code ? CauseTitle(*code, language) : f.cause, Count(f.failures), ReportPercent(f.share),
                                  ReportPercent(f.cumulative)};
    }
    return table;
}

ReportTable HealthTable(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    ReportTable table{{t(ChartText::ColFixture), t(ChartText::ColSocket), t(ChartText::AxisUnitTests),
                       t(ChartText::SeriesFailed), t(ChartText::ColFailureRate), t(ChartText::ColRestOfFixture),
                       t(ChartText::ColChance), t(ChartText::ColFlagged)},
                      {},
                      {false, false, true, true, true, true, true, false}};
    for (const records::SocketHealth& s : data.sockets) {
        table.rows << QStringList{s.fixture,
                                  s.socket,
                                  Count(s.tests),
                                  Count(s.failed),
                                  ReportPercent(s.rate()),
                                  ReportPercent(s.othersRate()),
                                  QString::number(s.p, 'g', 3),
                                  s.flagged ? QStringLiteral("!") : QString()};
        table.marked << s.flagged;
    }
    return table;
}

}  // namespace pb::reports
