#include "app/PortComboBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QStyledItemDelegate>
#include <QTimer>

#include "app/PortAdapter.h"
#include "app/PortWatcher.h"
#include "link/SerialTransport.h"

namespace pb {
namespace {

constexpr int kLabelRole = Qt::UserRole + 1;
constexpr int kAdapterRole = Qt::UserRole + 2;

// The drop-down shows the label; the item text (what choosing it types) stays the name.
class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(kLabelRole).toString();
        if (!label.isEmpty()) option->text = label;
    }
};

}  // namespace

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typing a name must not add it to the list.
    setInsertPolicy(QComboBox::NoInsert);
    setItemDelegate(new LabelDelegate(this));
}

void PortComboBox::setPorts(const QList<PortEntry>& ports, const QString& text) {
    clear();
    for (const PortEntry& port : ports) {
        addItem(port.name);
        const int row = count() - 1;
        if (!port.toolTip.isEmpty()) setItemData(row, port.toolTip, Qt::ToolTipRole);
        if (!port.label.isEmpty()) setItemData(row, port.label, kLabelRole);
        if (!port.adapterId.isEmpty()) setItemData(row, port.adapterId, kAdapterRole);
    }
    if (count() > 0) setCurrentIndex(0);
    setEditText(text);
}

QString PortComboBox::adapterOf(const QString& portName) const {
    for (int row = 0; row < count(); ++row)
        if (SerialDevicePath(itemText(row)) == SerialDevicePath(portName))
            return itemData(row, kAdapterRole).toString();
    return {};
}

void PortComboBox::followPorts(Lister lister, const QStringList& folders) {
    lister_ = std::move(lister);
    if (!watcher_) {
        watcher_ = new PortWatcher(this);
        connect(watcher_, &PortWatcher::portsMayHaveChanged, this, &PortComboBox::refresh);
    }
    watcher_->watch(folders);
    // A stored adapter may be back under another name: look once the window is up. Listing
    // the ports takes tens of milliseconds, so not without a reason.
    if (!adapter_.isEmpty()) QTimer::singleShot(0, this, &PortComboBox::refresh);
}

void PortComboBox::refresh() {
    // Not under the user's hand or while a test runs: once the window is idle again.
    if (!isEnabled() || view()->isVisible()) {
        refreshPending_ = true;
        if (view()->isVisible()) QTimer::singleShot(500, this, &PortComboBox::refresh);
        return;
    }
    refreshPending_ = false;
    const QList<PortFacts> ports = lister_();
    QString text = currentText();
    const bool following = SerialDevicePath(text) == SerialDevicePath(adapterPort_);
    if (const auto moved = following ? FindMovedAdapter(ports, text, adapter_) : std::nullopt) {
        const QString from = text;
        text = adapterPort_ = *moved;
        setPorts(PortListFrom(ports, language_), text);
        emit adapterMoved(from, text);
        return;
    }
    const QList<PortEntry> entries = PortListFrom(ports, language_);
    bool same = entries.size() == count();
    for (int row = 0; same && row < count(); ++row)
        same = itemText(row) == entries[row].name &&
               itemData(row, kLabelRole).toString() == entries[row].label;
    if (!same) setPorts(entries, text);
}

void PortComboBox::showPopup() {
    setPorts(PortListFrom(lister_(), language_), currentText());
    // Wide enough for the labels, which are longer than the box.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 24);
    QComboBox::showPopup();
}

void PortComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && isEnabled() && refreshPending_)
        QTimer::singleShot(0, this, &PortComboBox::refresh);
}

}  // namespace pb
