#pragma once
// The editable port list. It reads the system's ports again whenever it drops down, so
// a USB adapter plugged in after start shows up; the typed text stays.

#include <QComboBox>

#include "app/SerialPortList.h"

namespace pb {

class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit PortComboBox(QWidget* parent = nullptr);

    // Replaces the items; the first is selected, then the edit text is set to `text`.
    void setPorts(const QList<PortEntry>& ports, const QString& text);

    void showPopup() override;
};

}  // namespace pb
