#include "app/Controls.h"

#include <algorithm>

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

QMenu* DropDown(QMenuBar* bar, const char* name, const char* actionName, const QString& caption) {
    auto* menu = new QMenu(caption, bar);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(actionName));
    // A drop-down menu is a window of its own: let it follow the window's font.
    menu->setAttribute(Qt::WA_WindowPropagation);
    return menu;
}

QAction* Separator(QObject* parent, const char* name) {
    QAction* line = Item(parent, name, {});
    line->setSeparator(true);
    return line;
}

QTimer* Timer(QObject* owner, const char* name, int intervalMs) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}

// A drop-down menu sizes its entries by one measure of their text and draws them by
// another, which for some fonts (the Chinese ones here) comes out wider: the widest entry
// was drawn shortened in its middle ("測試站模…)..."). The menu is made as much wider as
// the two measures differ, and a space more.
void FitMenuToCaptions(QMenu* menu) {
    menu->setMinimumWidth(0);
    const QFontMetrics fm(menu->font());
    int shortfall = 0;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const QString shown = QString(action->text()).remove(u'&');
        const int sized = fm.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, action->text()).width();
        shortfall = std::max(shortfall, fm.horizontalAdvance(shown) - sized);
    }
    menu->setMinimumWidth(menu->sizeHint().width() + shortfall + fm.horizontalAdvance(u' '));
}

}  // namespace Ui
