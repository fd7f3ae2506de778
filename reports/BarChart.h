#pragma once
// A bar chart as plain values, drawn by one QPainter routine onto any paint device (an
// SVG generator, a PDF page): groups of bars over categories on a value axis with its
// grid, and an optional line of shares (0..1) on a percentage axis at the right. A new
// chart is a new BarChart value: a histogram of durations is one bar series over its bins.

#include <QColor>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QStringList>
#include <optional>

namespace pb::reports {

struct ChartSeries {
    QString name;
    QColor colour;
    QList<double> values;  // one per category
};

struct BarChart {
    QString title;  // drawn above the legend; none when empty (a report's heading says it)
    QStringList categories;
    QString categoryAxis, valueAxis;
    QList<ChartSeries> bars;  // side by side within a category
    std::optional<ChartSeries> line;  // shares 0..1, on the right-hand axis; NaN: no point
    QString lineAxis;
};

// The size a chart is drawn at, in the logical units of DrawBarChart (a 96 dpi pixel):
// the report scales it to its page.
inline constexpr QSizeF kChartSize{680, 300};

// Draws `chart` into `area`: title, legend, axes, grid, bars, line. Text sizes are in the
// painter's units, so a scaled painter scales them too.
void DrawBarChart(QPainter& painter, const QRectF& area, const BarChart& chart);

// The first "nice" number (1, 2 or 5 times a power of ten) at or above value / steps: the
// step of a value axis with about `steps` grid lines.
double NiceStep(double value, int steps);

}  // namespace pb::reports
