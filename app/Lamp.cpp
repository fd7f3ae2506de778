#include "app/Lamp.h"

#include <QPainter>

namespace pb {

Lamp::Lamp(QColor brush, QWidget* parent) : QWidget(parent), brush_(brush) {}

void Lamp::setBrushColor(const QColor& colour) {
    if (colour == brush_) return;
    brush_ = colour;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    // Painted the same whether the window is enabled or not: the lamp blinks while a
    // test has the window disabled.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush_);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace pb
