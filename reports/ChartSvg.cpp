#include "reports/ChartSvg.h"

#include <QBuffer>
#include <QSvgGenerator>

namespace pb::reports {

QString ChartSvg(const QSizeF& size, const QString& title, const Drawing& draw) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size.toSize());
    generator.setViewBox(QRectF(QPointF(0, 0), size));
    generator.setResolution(96);
    generator.setTitle(title);
    {
        QPainter painter(&generator);
        draw(painter);
    }
    QString svg = QString::fromUtf8(buffer.data());
    // The element alone: the declaration would end the page's own prolog.
    const qsizetype start = svg.indexOf(QLatin1String("<svg"));
    return start >= 0 ? svg.mid(start) : QString();
}

}  // namespace pb::reports
