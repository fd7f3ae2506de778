#pragma once
// The captions of a window that are wider than their control, as "name: text": named
// labels (not word-wrapped), named buttons and check boxes, group box titles, and, when
// asked, the entries of combo boxes; those that show when the window does.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>

#include "app/FitLabel.h"

namespace pbtest {

inline QStringList CutCaptions(QWidget& w, bool comboEntries = false) {
    QStringList cut;
    const auto check = [&](QWidget* control, const QString& text, int room) {
        // A control hidden (or on a page not shown) has no size of its own yet: it is
        // checked where it shows.
        if (!control->isVisibleTo(&w)) return;
        const QString shown = QString(text).remove(u'&');
        if (control->fontMetrics().horizontalAdvance(shown) > room)
            cut << control->objectName() + ": " + text;
    };
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->wordWrap() || label->objectName().isEmpty()) continue;
        // A panel that fits its text draws it whole, in the size it chose.
        if (auto* fit = qobject_cast<pb::FitLabel*>(label)) {
            if (fit->shownText() != fit->text()) cut << fit->objectName() + ": " + fit->text();
            continue;
        }
        check(label, label->text(), label->contentsRect().width());
    }
    for (QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
        if (button->objectName().isEmpty()) continue;
        // Check boxes give part of their width to the box.
        const int room =
            qobject_cast<QCheckBox*>(button) ? button->width() - 24 : button->width() - 8;
        check(button, button->text(), room);
    }
    for (QGroupBox* group : w.findChildren<QGroupBox*>())
        check(group, group->title(), group->width() - 16);
    // Combo boxes give part of their width to the arrow.
    for (QComboBox* combo : comboEntries ? w.findChildren<QComboBox*>() : QList<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i) check(combo, combo->itemText(i), combo->width() - 24);
    return cut;
}

}  // namespace pbtest
