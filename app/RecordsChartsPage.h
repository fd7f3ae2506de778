#pragma once
// The records window's charts over its filter, from the line's figures: unit tests per
// day (passed and failed bars, the first-pass yield line), the failures by step (most
// first, with the cumulative share), the distributions of unit-test time and of reply
// latency (with their p50, p95 and p99) and the fixtures' sockets. Drawn when the filter
// changes while the page shows, or when it is shown after a change; never while hidden.

#include <QSqlDatabase>
#include <QWidget>

#include "records/figures/DurationFigures.h"
#include "records/figures/LineFigures.h"

class DistributionChart;
class FixtureHealthGrid;
class QBarSet;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScrollArea;

// A failing step's label as the page shows it in `language`.
QString StepLabel(const pb::records::FailureRow& row, int language);

class RecordsChartsPage : public QWidget {
    Q_OBJECT
public:
    RecordsChartsPage(QSqlDatabase db, int language, QWidget* parent = nullptr);

    void setLanguage(int language);
    void setFilter(const pb::records::RunFilter& filter);

    // For tests and screenshots.
    int draws() const { return draws_; }
    QChart* yieldChart() const { return yieldChart_; }
    QChart* paretoChart() const { return paretoChart_; }
    QBarSet* paretoBars() const { return paretoBars_; }
    QLineSeries* paretoLine() const { return paretoLine_; }
    QBarSet* passedBars() const { return passedBars_; }
    QBarSet* failedBars() const { return failedBars_; }
    QLineSeries* firstPassLine() const { return firstPassLine_; }
    QLineSeries* finalLine() const { return finalLine_; }
    // The whole filter's first-pass and final yield and its retests, over the charts.
    QLabel* yieldTotals() const { return totals_; }
    FixtureHealthGrid* healthGrid() const { return grid_; }
    DistributionChart* durationChart() const { return durations_; }
    DistributionChart* latencyChart() const { return latencies_; }
    QLabel* emptyNote() const { return empty_; }
    const QList<pb::records::FailureRow>& failures() const { return failures_; }

signals:
    // A bar of the failures by step, or a socket's cell, was clicked.
    void stepChosen(const pb::records::FailureRow& row);
    void socketChosen(const QString& fixture, const QString& socket);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();
    void drawYield(const QList<pb::records::YieldRow>& days);
    void drawPareto();
    void drawDistributions(bool none);
    void applyTexts();

    pb::records::LineFigures figures_;
    pb::records::DurationFigures durationFigures_;
    pb::records::RunFilter filter_;
    int language_;
    bool stale_ = true;
    int draws_ = 0;
    QList<pb::records::YieldRow> days_;
    pb::records::YieldRow total_;
    QList<pb::records::FailureRow> failures_;

    QLabel *empty_, *healthTitle_, *noFixtures_, *totals_;
    QChart *yieldChart_, *paretoChart_;
    QChartView *yieldView_, *paretoView_;
    QBarSet *passedBars_ = nullptr, *failedBars_ = nullptr, *paretoBars_ = nullptr;
    QLineSeries *firstPassLine_ = nullptr, *finalLine_ = nullptr, *paretoLine_ = nullptr;
    DistributionChart *durations_, *latencies_;
    FixtureHealthGrid* grid_;
    QWidget* content_;
    QScrollArea* contentArea_;
};
