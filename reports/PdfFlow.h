#pragma once
// Pages of a PDF filled from the top down: headings, notes, tables (their head again on
// each page they run over to) and drawings, each on the next page when it does not fit
// where the last one ended. Everything is painted as vector drawing and text.

#include <QPagedPaintDevice>
#include <QPainter>
#include <functional>

#include "reports/LineReport.h"

namespace pb::reports {

class PdfFlow {
public:
    // Paints in the device's own units (the caller sets a resolution of 96 dpi).
    PdfFlow(QPagedPaintDevice& device, QPainter& painter);

    void title(const QString& text);
    void heading(const QString& text);
    void note(const QString& text);
    void table(const ReportTable& table);
    // A drawing of `size` (scaled down to the page's width when wider).
    void drawing(const QSizeF& size, const std::function<void(QPainter&)>& draw);
    void newPage();

    double width() const { return width_; }

private:
    void text(const QString& text, double pixels, bool bold, const QColor& colour);
    void room(double height);

    QPagedPaintDevice& device_;
    QPainter& painter_;
    double width_, height_;
    double y_ = 0;
};

}  // namespace pb::reports
