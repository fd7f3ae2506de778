#pragma once
// A distribution of times as histogram bars in even bins, with its p50, p95 and p99 said
// in a caption under the chart: the charts page's unit-test times and reply latencies.

#include <QList>
#include <QWidget>

#include "records/figures/DurationFigures.h"

class QBarSet;
class QChart;
class QChartView;
class QLabel;

class DistributionChart : public QWidget {
    Q_OBJECT
public:
    // At most this many bars; fewer when the times span fewer whole ms.
    static constexpr int kBins = 10;

    // `name` names the chart view ("<name>Chart") and its caption ("lb<Name>Percentiles").
    DistributionChart(const QString& name, const QString& captionName, QWidget* parent = nullptr);

    // The times in ms, counted; `unitMs` is the unit the axis counts in (1000: seconds).
    void setTimes(const pb::records::TimeCounts& counts, const pb::records::Durations& stats, qint64 unitMs);
    // `caption`: "%1" p50, "%2" p95, "%3" p99, "%4" how many; `tip`: "%1" from, "%2" to, "%3" how many.
    void setTexts(const QString& title, const QString& axisTime, const QString& axisCount, const QString& caption,
                  const QString& tip, const QString& none);

    QChart* chart() const { return chart_; }
    QBarSet* bars() const { return bars_; }
    QLabel* caption() const { return caption_; }
    const QList<pb::records::DurationBin>& bins() const { return bins_; }

private:
    // `ms` in the axis' unit; captions say one decimal of a second.
    QString number(qint64 ms, int decimals = 1) const;
    int binDecimals() const;
    void applyTexts();

    QChart* chart_;
    QChartView* view_;
    QLabel* caption_;
    QBarSet* bars_ = nullptr;
    QList<pb::records::DurationBin> bins_;
    pb::records::Durations stats_;
    qint64 unitMs_ = 1;
    QString title_, axisTime_, axisCount_, captionText_, tip_, none_;
};
