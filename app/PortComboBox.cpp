#include "app/PortComboBox.h"

namespace pb {

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typing a name must not add it to the list.
    setInsertPolicy(QComboBox::NoInsert);
}

void PortComboBox::setPorts(const QList<PortEntry>& ports, const QString& text) {
    clear();
    for (const PortEntry& port : ports) {
        addItem(port.name);
        if (!port.toolTip.isEmpty()) setItemData(count() - 1, port.toolTip, Qt::ToolTipRole);
    }
    if (count() > 0) setCurrentIndex(0);
    setEditText(text);
}

void PortComboBox::showPopup() {
    setPorts(ListSerialPorts(), currentText());
    QComboBox::showPopup();
}

}  // namespace pb
