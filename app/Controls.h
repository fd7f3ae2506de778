#pragma once
// How the window's controls are made: each under its object name at an absolute
// position, as designed, with the few looks (panel, colours, own font) they share.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace Ui {

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

void Paint(QWidget* widget, const QColor& background, const QColor& text);

// A font of the control's own: size and weight fixed, the family follows the window's
// language font unless named.
void OwnFont(QWidget* widget, int pixelHeight, QFont::Weight weight, const QString& family = {});

// A raised panel with its caption centred; T is QLabel or a label derived from it.
template <typename T = QLabel>
T* Panel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* panel = Make<T>(parent, name, geometry, caption);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect geometry,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect geometry);
QComboBox* List(QWidget* parent, const char* name, const QStringList& items, QRect geometry);
QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect geometry);
// A page of a tab widget, made by its class and named.
template <typename P = QWidget>
P* Page(QTabWidget* pages, const char* name, const QString& caption) {
    auto* page = new P;
    page->setObjectName(QString::fromLatin1(name));
    pages->addTab(page, caption);
    return page;
}
QAction* Item(QObject* parent, const char* name, const QString& caption);
// A drop-down menu of `bar`, named, its action named `actionName`; its items follow the
// window's font.
QMenu* DropDown(QMenuBar* bar, const char* name, const char* actionName, const QString& caption);
// A separator between a menu's items, named; an invisible timer of `owner`, named.
QAction* Separator(QObject* parent, const char* name);
QTimer* Timer(QObject* owner, const char* name, int intervalMs);
// Widens a drop-down menu so that its widest entry, once captioned, is drawn whole.
void FitMenuToCaptions(QMenu* menu);

}  // namespace Ui
