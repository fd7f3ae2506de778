#include "app/FitLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace pb {

int FitLabel::room() const {
    // A little air at both ends, as the frame's bevel needs.
    return contentsRect().width() - 2 * (margin() + 2 + endRoom_);
}

QFont FitLabel::shownFont() const {
    QFont f = font();
    const int designed = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    const int smallest = qMax(1, designed * kSmallestPercent / 100);
    for (int size = designed; size >= smallest; --size) {
        f.setPixelSize(size);
        if (QFontMetrics(f).horizontalAdvance(text()) <= room()) return f;
    }
    f.setPixelSize(smallest);
    return f;
}

QString FitLabel::shownText() const {
    return QFontMetrics(shownFont()).elidedText(text(), Qt::ElideRight, room());
}

void FitLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QFont f = shownFont();
    painter.setFont(f);
    painter.setPen(palette().color(foregroundRole()));
    const int end = margin() + 2 + endRoom_;
    const QRect r = contentsRect().adjusted(end, margin(), -end, -margin());
    painter.drawText(r, int(alignment()) | Qt::TextSingleLine,
                     QFontMetrics(f).elidedText(text(), Qt::ElideRight, r.width()));
}

bool FitLabel::event(QEvent* event) {
    // The whole text on hover whenever the panel shows it smaller or cut.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (shownText() != text() || shownFont().pixelSize() != font().pixelSize())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

}  // namespace pb
