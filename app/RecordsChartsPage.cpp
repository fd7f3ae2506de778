#include "app/RecordsChartsPage.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QScrollArea>
#include <QSet>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/DistributionChart.h"
#include "app/FixtureHealthGrid.h"
#include "catalogue/StepNames.h"
#include "i18n/ChartTexts.h"
#include "reports/ChartColours.h"

using pb::ChartText;
using pb::records::FailureRow;
using pb::records::YieldRow;

namespace {

QChartView* MakeView(QChart* chart, const QString& name, QWidget* parent) {
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 240);
    return view;
}

void Clear(QChart* chart) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

}  // namespace

// A step as kept ("identify" when the recipe gave no label) in the page's language.
QString StepLabel(const FailureRow& row, int language) { return pb::ShownStepLabel(row.label, row.label, language); }

namespace {

bool SameFilter(const pb::records::RunFilter& a, const pb::records::RunFilter& b) {
    return a.unitId == b.unitId && a.serial == b.serial && a.fromMs == b.fromMs && a.toMs == b.toMs &&
           a.outcome == b.outcome && a.procedure == b.procedure && a.runIds == b.runIds && a.station == b.station &&
           a.recipeRunIds == b.recipeRunIds && a.fixture == b.fixture && a.socket == b.socket;
}

QString Percent(double share) { return QString::number(100.0 * share, 'f', 1); }
QString PercentOrNone(const std::optional<double>& share) { return share ? Percent(*share) : QStringLiteral("–"); }

// Bars of `sets` over `categories` with a percentage line on a right-hand axis.
struct Axes {
    QBarCategoryAxis* x;
    QValueAxis* count;
    QValueAxis* percent;
};
Axes Plot(QChart* chart, const QStringList& categories, const QList<QBarSet*>& sets, QLineSeries* line,
          qreal highest, const QFont& font) {
    auto* bars = new QBarSeries(chart);
    for (QBarSet* set : sets) bars->append(set);
    chart->addSeries(bars);
    chart->addSeries(line);
    Axes a{new QBarCategoryAxis(chart), new QValueAxis(chart), new QValueAxis(chart)};
    a.x->append(categories);
    a.count->setRange(0, qMax<qreal>(1, highest));
    a.count->setLabelFormat(QStringLiteral("%d"));
    a.count->applyNiceNumbers();
    a.percent->setRange(0, 100);
    a.percent->setLabelFormat(QStringLiteral("%d"));
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(a.x), static_cast<QAbstractAxis*>(a.count),
                                static_cast<QAbstractAxis*>(a.percent)}) {
        axis->setLabelsFont(font);
        axis->setTitleFont(font);
    }
    chart->addAxis(a.x, Qt::AlignBottom);
    chart->addAxis(a.count, Qt::AlignLeft);
    chart->addAxis(a.percent, Qt::AlignRight);
    bars->attachAxis(a.x);
    bars->attachAxis(a.count);
    line->attachAxis(a.x);
    line->attachAxis(a.percent);
    line->setPointsVisible(true);
    QPen pen(QColor(0x20, 0x20, 0x20));
    pen.setWidth(2);
    line->setPen(pen);
    return a;
}

}  // namespace

RecordsChartsPage::RecordsChartsPage(QSqlDatabase db, int language, QWidget* parent)
    : QWidget(parent),
      figures_(db),
      durationFigures_(std::move(db)),
      language_(language),
      empty_(new QLabel(this)),
      healthTitle_(new QLabel(this)),
      noFixtures_(new QLabel(this)),
      totals_(new QLabel(this)),
      yieldChart_(new QChart),
      paretoChart_(new QChart),
      yieldView_(MakeView(yieldChart_, QStringLiteral("yieldChart"), this)),
      paretoView_(MakeView(paretoChart_, QStringLiteral("paretoChart"), this)),
      durations_(new DistributionChart(QStringLiteral("duration"), QStringLiteral("lbDurationPercentiles"), this)),
      latencies_(new DistributionChart(QStringLiteral("latency"), QStringLiteral("lbLatencyPercentiles"), this)),
      grid_(new FixtureHealthGrid(this)),
      content_(new QWidget(this)),
      contentArea_(new QScrollArea(this)) {
    setObjectName(QStringLiteral("chartsPage"));
    // The page shows no distinct units, so its figures read the hours' counts.
    figures_.setCountUnits(false);
    empty_->setObjectName(QStringLiteral("lbChartsEmpty"));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    healthTitle_->setObjectName(QStringLiteral("lbFixtureHealth"));
    noFixtures_->setObjectName(QStringLiteral("lbNoFixtures"));
    noFixtures_->setWordWrap(true);
    totals_->setObjectName(QStringLiteral("lbYieldTotals"));
    totals_->setWordWrap(true);

    // Four charts two by two; on a small screen the page scrolls rather than squeeze them.
    auto* charts = new QGridLayout;
    charts->setContentsMargins(0, 0, 0, 0);
    charts->addWidget(yieldView_, 0, 0);
    charts->addWidget(paretoView_, 0, 1);
    charts->addWidget(durations_, 1, 0);
    charts->addWidget(latencies_, 1, 1);
    // Room under the legend for the right axes' titles ("Cumulative share (%)") standing whole.
    yieldView_->setMinimumHeight(280);
    paretoView_->setMinimumHeight(280);
    auto* content = new QVBoxLayout(content_);
    content->setContentsMargins(0, 0, 0, 0);
    content->addWidget(totals_);
    content->addLayout(charts, 3);
    content->addWidget(healthTitle_);
    content->addWidget(noFixtures_);
    // The fixtures' grid as tall as its rows: the page scrolls, not a box inside it.
    content->addWidget(grid_);
    content->addStretch(0);
    contentArea_->setWidget(content_);
    contentArea_->setWidgetResizable(true);
    contentArea_->setFrameShape(QFrame::NoFrame);
    contentArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(empty_, 1);
    layout->addWidget(contentArea_, 1);
    empty_->hide();

    connect(grid_, &FixtureHealthGrid::socketChosen, this, &RecordsChartsPage::socketChosen);
    applyTexts();
}

void RecordsChartsPage::setLanguage(int language) {
    language_ = language;
    stale_ = true;  // the tips and the step labels are worded in it
    applyTexts();
    if (isVisible()) redraw();
}

void RecordsChartsPage::setFilter(const pb::records::RunFilter& filter) {
    // The list refreshes for its own reasons too (a narrowing from here): same filter, same charts.
    if (draws_ > 0 && SameFilter(filter, filter_)) return;
    filter_ = filter;
    stale_ = true;
    if (isVisible()) redraw();
}

void RecordsChartsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_) redraw();
}

void RecordsChartsPage::applyTexts() {
    const auto t = [this](ChartText id) { return pb::Text(id, language_); };
    QFont titleFont = font();
    titleFont.setBold(true);
    for (QChart* chart : {yieldChart_, paretoChart_}) {
        chart->setTitleFont(titleFont);
        chart->legend()->setFont(font());
    }
    yieldChart_->setTitle(t(ChartText::YieldTitle));
    paretoChart_->setTitle(failures_.isEmpty() && draws_ > 0
                               ? t(ChartText::ParetoTitle) + QStringLiteral(" - ") + t(ChartText::NoFailures)
                               : t(ChartText::ParetoTitle));
    empty_->setText(t(ChartText::NoUnitTests));
    healthTitle_->setText(t(ChartText::HealthTitle));
    noFixtures_->setText(t(ChartText::NoFixtures));
    if (passedBars_) passedBars_->setLabel(t(ChartText::SeriesPassed));
    if (failedBars_) failedBars_->setLabel(t(ChartText::SeriesFailed));
    if (firstPassLine_) firstPassLine_->setName(t(ChartText::SeriesFirstPass));
    if (finalLine_) finalLine_->setName(t(ChartText::SeriesFinal));
    totals_->setText(t(ChartText::YieldTotals)
                         .arg(PercentOrNone(total_.firstPassYield()), PercentOrNone(total_.finalYield()))
                         .arg(total_.retests())
                         .arg(total_.tests));
    if (paretoBars_) paretoBars_->setLabel(t(ChartText::SeriesFailures));
    if (paretoLine_) paretoLine_->setName(t(ChartText::SeriesCumulative));
    const auto titleAxes = [](QChart* chart, const QString& x, const QString& left, const QString& right) {
        for (QAbstractAxis* axis : chart->axes()) {
            if (axis->alignment() == Qt::AlignBottom) axis->setTitleText(x);
            else if (axis->alignment() == Qt::AlignLeft) axis->setTitleText(left);
            else axis->setTitleText(right);
        }
    };
    titleAxes(yieldChart_, t(ChartText::AxisDay), t(ChartText::AxisUnitTests), t(ChartText::AxisFirstPass));
    titleAxes(paretoChart_, t(ChartText::AxisStep), t(ChartText::AxisFailures), t(ChartText::AxisCumulative));
    durations_->setTexts(t(ChartText::DurationTitle), t(ChartText::AxisDurationS), t(ChartText::AxisUnitTests),
                         t(ChartText::DurationCaption), t(ChartText::DurationTip), t(ChartText::NoUnitTests));
    latencies_->setTexts(t(ChartText::LatencyTitle), t(ChartText::AxisLatencyMs), t(ChartText::AxisReplies),
                         t(ChartText::LatencyCaption), t(ChartText::LatencyTip), t(ChartText::NoReplies));
}

void RecordsChartsPage::redraw() {
    stale_ = false;
    ++draws_;
    // Only days with unit tests are listed: none is no unit test under the filter.
    days_ = figures_.yields(filter_, pb::records::FigureBy::Day);
    const bool none = days_.isEmpty();
    total_ = none ? YieldRow{} : figures_.total(filter_);
    empty_->setVisible(none);
    contentArea_->setVisible(!none);
    failures_ = none ? QList<FailureRow>() : figures_.failuresByStep(filter_);
    const QList<pb::records::SocketHealth> sockets = none ? QList<pb::records::SocketHealth>()
                                                          : figures_.fixtureHealth(filter_);
    drawYield(days_);
    drawPareto();
    drawDistributions(none);
    grid_->setSockets(sockets, language_);
    noFixtures_->setVisible(sockets.isEmpty());
    grid_->setVisible(!sockets.isEmpty());
    applyTexts();
}

void RecordsChartsPage::drawYield(const QList<YieldRow>& days) {
    Clear(yieldChart_);
    passedBars_ = new QBarSet(QString(), yieldChart_);
    failedBars_ = new QBarSet(QString(), yieldChart_);
    passedBars_->setColor(pb::reports::kPassedColour);
    failedBars_->setColor(pb::reports::kFailedColour);
    firstPassLine_ = new QLineSeries(yieldChart_);
    finalLine_ = new QLineSeries(yieldChart_);
    QStringList categories;
    qreal highest = 0;
    for (qsizetype i = 0; i < days.size(); ++i) {
        const YieldRow& d = days[i];
        categories << d.day.toString(QStringLiteral("MM-dd"));
        *passedBars_ << qreal(d.passed);
        *failedBars_ << qreal(d.failed);
        // A day without a first test has no yield: the line skips it.
        if (d.firstPassYield()) firstPassLine_->append(qreal(i), 100.0 * *d.firstPassYield());
        if (d.finalYield()) finalLine_->append(qreal(i), 100.0 * *d.finalYield());
        highest = qMax(highest, qreal(qMax(d.passed, d.failed)));
    }
    const Axes axes = Plot(yieldChart_, categories, {passedBars_, failedBars_}, firstPassLine_, highest, font());
    // The final yield on the same axis, dashed: the same units after their retests.
    yieldChart_->addSeries(finalLine_);
    finalLine_->attachAxis(axes.x);
    finalLine_->attachAxis(axes.percent);
    finalLine_->setPointsVisible(true);
    QPen dashed(pb::reports::kPassedColour);
    dashed.setWidth(2);
    dashed.setStyle(Qt::DashLine);
    finalLine_->setPen(dashed);
    const auto tip = [this](bool on, int index) {
        if (!on || index < 0 || index >= days_.size()) return QToolTip::hideText();
        const YieldRow& d = days_[index];
        QToolTip::showText(QCursor::pos(), pb::Text(ChartText::YieldTip, language_)
                                               .arg(d.key)
                                               .arg(d.tests)
                                               .arg(d.passed)
                                               .arg(d.failed)
                                               .arg(PercentOrNone(d.firstPassYield()), PercentOrNone(d.finalYield()))
                                               .arg(d.retests()));
    };
    connect(passedBars_, &QBarSet::hovered, this, tip);
    connect(failedBars_, &QBarSet::hovered, this, tip);
}

void RecordsChartsPage::drawPareto() {
    Clear(paretoChart_);
    paretoBars_ = new QBarSet(QString(), paretoChart_);
    paretoBars_->setColor(pb::reports::kFailedColour);
    paretoLine_ = new QLineSeries(paretoChart_);
    QSet<QString> recipes;
    for (const FailureRow& f : failures_) recipes.insert(f.recipe);
    // Category names are the steps' labels, the recipe's first when there are several;
    // kept short and distinct (the axis takes each name once).
    QStringList categories;
    const QFontMetrics metrics(font());
    for (qsizetype i = 0; i < failures_.size(); ++i) {
        const FailureRow& f = failures_[i];
        QString name = f.label.isEmpty() ? QString::number(f.step + 1) : StepLabel(f, language_);
        if (recipes.size() > 1) name = f.recipe + QStringLiteral(": ") + name;
        name = metrics.elidedText(name, Qt::ElideRight, 140);
        while (categories.contains(name)) name += u' ';
        categories << name;
        *paretoBars_ << qreal(f.failures);
        paretoLine_->append(qreal(i), 100.0 * f.cumulative);
    }
    Plot(paretoChart_, categories, {paretoBars_}, paretoLine_, failures_.isEmpty() ? 1 : failures_.first().failures,
         font());
    connect(paretoBars_, &QBarSet::hovered, this, [this](bool on, int index) {
        if (!on || index < 0 || index >= failures_.size()) return QToolTip::hideText();
        const FailureRow& f = failures_[index];
        QToolTip::showText(QCursor::pos(), pb::Text(ChartText::ParetoTip, language_)
                                               .arg(StepLabel(f, language_), f.recipe)
                                               .arg(f.failures)
                                               .arg(Percent(f.cumulative)));
    });
    connect(paretoBars_, &QBarSet::clicked, this, [this](int index) {
        if (index >= 0 && index < failures_.size()) emit stepChosen(failures_[index]);
    });
}

void RecordsChartsPage::drawDistributions(bool none) {
    // Every recipe's unit tests, and every run's replies: the first row of each.
    using pb::records::LatencyTimes;
    using pb::records::RecipeTimes;
    const RecipeTimes allTests = none ? RecipeTimes() : durationFigures_.everyRecipeTimes(filter_);
    const QList<LatencyTimes> replies = none ? QList<LatencyTimes>() : durationFigures_.latencies(filter_);
    const LatencyTimes allReplies = replies.value(0);
    durations_->setTimes(allTests.counts, allTests.times, 1000);
    latencies_->setTimes(allReplies.counts, allReplies.times, 1);
}
