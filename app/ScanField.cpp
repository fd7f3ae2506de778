#include "app/ScanField.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace pb {

bool PassTypingTo(QLineEdit* field, QKeyEvent* event) {
    const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint();
    if (!printable) return false;
    field->setFocus();
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
    QCoreApplication::sendEvent(field, &copy);
    return true;
}

}  // namespace pb
