#include "app/Controls.h"

namespace Ui {

void Paint(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void OwnFont(QWidget* widget, int pixelHeight, QFont::Weight weight, const QString& family) {
    QFont font;
    if (!family.isEmpty()) font.setFamilies({family});
    font.setPixelSize(pixelHeight);
    font.setWeight(weight);
    // Only what is set here is the control's own; the rest comes from the window.
    font.setResolveMask(QFont::SizeResolved | QFont::WeightResolved |
                        (family.isEmpty() ? 0 : QFont::FamiliesResolved));
    widget->setFont(font);
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect geometry,
              Qt::Alignment alignment) {
    auto* label = Make<QLabel>(parent, name, geometry, caption);
    label->setAlignment(alignment);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = Make<QPushButton>(parent, name, geometry, caption);
    OwnFont(button, 19, QFont::Bold);
    return button;
}

QComboBox* List(QWidget* parent, const char* name, const QStringList& items, QRect geometry) {
    auto* list = Make<QComboBox>(parent, name, geometry);
    list->addItems(items);
    list->setCurrentIndex(0);
    return list;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    return Make<QLineEdit>(parent, name, geometry, text);
}

QAction* Item(QObject* parent, const char* name, const QString& caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace Ui
