#pragma once
// The stations' serial field, which a scan reaches wherever the focus is: a key a button
// does not take comes to the window, which hands a printable one to the field.

class QKeyEvent;
class QLineEdit;

namespace pb {

// Gives `field` the focus and the key when it is printable; true when it took it.
bool PassTypingTo(QLineEdit* field, QKeyEvent* event);

}  // namespace pb
