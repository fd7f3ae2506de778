#include "reports/PdfFlow.h"

#include <QFontMetricsF>

#include "reports/ChartColours.h"

namespace pb::reports {
namespace {

constexpr double kRowHeight = 18, kCellPadding = 5, kTextPixels = 11;

QFont Font(double pixels, bool bold) {
    QFont font;
    font.setPixelSize(int(pixels));
    font.setBold(bold);
    return font;
}

}  // namespace

PdfFlow::PdfFlow(QPagedPaintDevice& device, QPainter& painter) : device_(device), painter_(painter) {
    const QRect page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    width_ = page.width();
    height_ = page.height();
}

void PdfFlow::newPage() {
    device_.newPage();
    y_ = 0;
}

void PdfFlow::room(double height) {
    if (y_ > 0 && y_ + height > height_) newPage();
}

void PdfFlow::text(const QString& text, double pixels, bool bold, const QColor& colour) {
    painter_.setFont(Font(pixels, bold));
    const QRectF bounds = painter_.boundingRect(QRectF(0, 0, width_, height_), Qt::TextWordWrap, text);
    room(bounds.height() + pixels * 0.6);
    painter_.setPen(colour);
    painter_.drawText(QRectF(0, y_, width_, bounds.height()), Qt::TextWordWrap, text);
    y_ += bounds.height() + pixels * 0.6;
}

void PdfFlow::title(const QString& t) { text(t, 20, true, kInkColour); }

void PdfFlow::heading(const QString& t) {
    room(kRowHeight * 4);  // a heading stays with what follows it
    y_ += 8;
    text(t, 15, true, kInkColour);
}

void PdfFlow::note(const QString& t) { text(t, kTextPixels, false, QColor(0x55, 0x55, 0x55)); }

void PdfFlow::table(const ReportTable& table) {
    // Each column as wide as its widest text, all of them shrunk to the page if wider.
    const QFontMetricsF plain(Font(kTextPixels, false)), bold(Font(kTextPixels, true));
    QList<double> widths;
    for (const QString& head : table.heads) widths << bold.horizontalAdvance(head) + 2 * kCellPadding;
    for (const QStringList& row : table.rows)
        for (qsizetype c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = qMax(widths[c], bold.horizontalAdvance(row[c]) + 2 * kCellPadding);
    double total = 0;
    for (double w : widths) total += w;
    const double shrink = total > width_ ? width_ / total : 1.0;
    for (double& w : widths) w *= shrink;

    const auto line = [&](const QStringList& cells, bool head, bool marked) {
        double x = 0;
        painter_.setFont(head || marked ? Font(kTextPixels, true) : Font(kTextPixels, false));
        for (qsizetype c = 0; c < widths.size(); ++c) {
            const QRectF cell(x, y_, widths[c], kRowHeight);
            painter_.setPen(QPen(QColor(0x9a, 0xa4, 0xb1), 0.8));
            painter_.setBrush(head ? QBrush(QColor(0xe4, 0xe8, 0xee)) : QBrush(Qt::NoBrush));
            painter_.drawRect(cell);
            painter_.setPen(marked ? QColor(0xa1, 0x1d, 0x1d) : kInkColour);
            const Qt::Alignment align = !head && table.numeric.value(c) ? Qt::AlignRight : Qt::AlignLeft;
            const QRectF inner = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
            const QFontMetricsF& m = head || marked ? bold : plain;
            painter_.drawText(inner, align | Qt::AlignVCenter, m.elidedText(cells.value(c), Qt::ElideRight, inner.width()));
            x += widths[c];
        }
        y_ += kRowHeight;
    };
    room(kRowHeight * 2);
    line(table.heads, true, false);
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        if (y_ + kRowHeight > height_) {
            newPage();
            line(table.heads, true, false);
        }
        line(table.rows[r], false, table.marked.value(r));
    }
    y_ += 10;
}

void PdfFlow::drawing(const QSizeF& size, const std::function<void(QPainter&)>& draw) {
    const double scale = size.width() > width_ ? width_ / size.width() : 1.0;
    room(size.height() * scale);
    painter_.save();
    painter_.translate(0, y_);
    painter_.scale(scale, scale);
    draw(painter_);
    painter_.restore();
    y_ += size.height() * scale + 8;
}

}  // namespace pb::reports
