#pragma once
// A drawing as SVG text for an HTML page: the same QPainter calls that draw it onto a PDF
// page, recorded by Qt Svg's generator. Needs a QGuiApplication (text is laid out).

#include <QPainter>
#include <QSizeF>
#include <QString>
#include <functional>

namespace pb::reports {

using Drawing = std::function<void(QPainter&)>;

// An <svg> element of `size` (its units those the drawing paints in), ready to stand
// inside XHTML: no XML declaration.
QString ChartSvg(const QSizeF& size, const QString& title, const Drawing& draw);

}  // namespace pb::reports
