#include "reports/BarChart.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>

#include "reports/ChartColours.h"

namespace pb::reports {
namespace {

QFont ChartFont(double pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(qMax(1, int(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

// A swatch and its name, left to right from `x`; the x after it.
double LegendEntry(QPainter& p, double x, double y, const ChartSeries& s, bool line) {
    const QFontMetricsF metrics(p.font());
    if (line) {
        p.setPen(QPen(s.colour, 2.5));
        p.drawLine(QPointF(x, y + 6), QPointF(x + 14, y + 6));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(s.colour);
        p.drawRoundedRect(QRectF(x, y + 1, 12, 10), 2, 2);  // a path: only the bars are rectangles
    }
    p.setPen(kInkColour);
    p.drawText(QPointF(x + 18, y + 6 + metrics.ascent() / 2 - 1), s.name);
    return x + 18 + metrics.horizontalAdvance(s.name) + 16;
}

}  // namespace

double NiceStep(double value, int steps) {
    if (value <= 0 || steps <= 0) return 1;
    const double raw = value / steps;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (f * power >= raw - 1e-9) return f * power;
    return 10 * power;
}

void DrawBarChart(QPainter& p, const QRectF& area, const BarChart& chart) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Title (when the chart has one of its own) and legend above the plot.
    const double head = chart.title.isEmpty() ? 0 : 26;
    p.setFont(ChartFont(15, true));
    p.setPen(kInkColour);
    if (head > 0)
        p.drawText(QRectF(area.left(), area.top(), area.width(), 22), Qt::AlignLeft | Qt::AlignVCenter, chart.title);
    p.setFont(ChartFont(11));
    double x = area.left();
    for (const ChartSeries& s : chart.bars) x = LegendEntry(p, x, area.top() + head, s, false);
    if (chart.line) LegendEntry(p, x, area.top() + head, *chart.line, true);

    const QFontMetricsF metrics(p.font());
    const double right = chart.line ? 46 : 12;
    const QRectF plot(area.left() + 52, area.top() + head + 24, area.width() - 52 - right,
                      area.height() - head - 24 - 40);
    double top = 0;
    for (const ChartSeries& s : chart.bars)
        for (double v : s.values) top = qMax(top, v);
    const double step = NiceStep(qMax(top, 1.0), 5);
    const double axisTop = qMax(step, std::ceil(qMax(top, 1.0) / step) * step);
    const auto yOf = [&](double v) { return plot.bottom() - plot.height() * v / axisTop; };

    // The grid and the value axis' numbers; the line's percentages at the right.
    for (double v = 0; v <= axisTop + step / 2; v += step) {
        const double y = yOf(v);
        p.setPen(QPen(kGridColour, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kInkColour);
        p.drawText(QRectF(plot.left() - 40, y - 8, 36, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'g', 6));
    }
    if (chart.line)
        for (int percent = 0; percent <= 100; percent += 25) {
            const double y = plot.bottom() - plot.height() * percent / 100.0;
            p.setPen(chart.line->colour);
            p.drawText(QRectF(plot.right() + 4, y - 8, 40, 16), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1%").arg(percent));
        }
    // The axes' titles: the value axis' turned along it.
    p.setPen(kInkColour);
    p.save();
    p.translate(area.left() + 10, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, -8, plot.height(), 16), Qt::AlignCenter, chart.valueAxis);
    p.restore();
    p.drawText(QRectF(plot.left(), area.bottom() - 16, plot.width(), 16), Qt::AlignCenter, chart.categoryAxis);
    if (chart.line) {
        p.save();
        p.translate(area.right() - 4, plot.center().y());
        p.rotate(90);
        p.setPen(chart.line->colour);
        p.drawText(QRectF(-plot.height() / 2, -8, plot.height(), 16), Qt::AlignCenter, chart.lineAxis);
        p.restore();
    }

    // The bars side by side in each category's slot, its label under it (every n-th one
    // when they would crowd).
    const qsizetype count = chart.categories.size();
    const double slot = count > 0 ? plot.width() / double(count) : plot.width();
    const qsizetype groups = qMax<qsizetype>(1, chart.bars.size());
    const double barWidth = slot * 0.7 / double(groups);
    double widest = 1;
    for (const QString& c : chart.categories) widest = qMax(widest, metrics.horizontalAdvance(c));
    const qsizetype every = qMax<qsizetype>(1, qsizetype(std::ceil((widest + 8) / qMax(slot, 1.0))));
    for (qsizetype i = 0; i < count; ++i) {
        const double left = plot.left() + slot * double(i) + slot * 0.15;
        for (qsizetype g = 0; g < chart.bars.size(); ++g) {
            const ChartSeries& s = chart.bars[g];
            const double v = i < s.values.size() ? s.values[i] : 0;
            if (v <= 0) continue;
            p.setPen(Qt::NoPen);
            p.setBrush(s.colour);
            p.drawRect(QRectF(left + barWidth * double(g), yOf(v), barWidth, plot.bottom() - yOf(v)));
        }
        if (i % every == 0) {
            p.setPen(kInkColour);
            const QRectF label(plot.left() + slot * double(i) - slot * (double(every) - 1) / 2, plot.bottom() + 3,
                               slot * double(every), 16);
            p.drawText(label, Qt::AlignCenter, metrics.elidedText(chart.categories[i], Qt::ElideRight, label.width()));
        }
    }
    p.setPen(QPen(kInkColour, 1));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());

    // The line through the middle of each slot, a dot at each point.
    if (chart.line && count > 0) {
        // A category without a value (NaN) breaks the line.
        QPainterPath path;
        bool joined = false;
        for (qsizetype i = 0; i < count && i < chart.line->values.size(); ++i) {
            const double v = chart.line->values[i];
            if (std::isnan(v)) {
                joined = false;
                continue;
            }
            const QPointF point(plot.left() + slot * (double(i) + 0.5), plot.bottom() - plot.height() * qBound(0.0, v, 1.0));
            joined ? path.lineTo(point) : path.moveTo(point);
            joined = true;
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(chart.line->colour, 2.5));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(chart.line->colour);
        for (qsizetype i = 0; i < path.elementCount(); ++i) p.drawEllipse(QPointF(path.elementAt(i)), 3.5, 3.5);
    }
    p.restore();
}

}  // namespace pb::reports
