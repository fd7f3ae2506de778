#pragma once
// A round lamp: an ellipse filling the widget, painted in its brush colour.

#include <QColor>
#include <QWidget>

namespace pb {

class Lamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)
public:
    explicit Lamp(QWidget* parent = nullptr) : Lamp(Qt::white, parent) {}
    Lamp(QColor brush, QWidget* parent);

    QColor brushColor() const { return brush_; }
    void setBrushColor(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_;
};

}  // namespace pb
