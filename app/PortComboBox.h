#pragma once
// The editable port list. Each port shows its description and by-id name beside its
// name; choosing one puts just the name in the text. The list follows adapters coming
// and going while the window is idle, and when the adapter last used comes back under
// another name, that name is taken and adapterMoved() says so. The typed text stays
// otherwise.

#include <QComboBox>
#include <functional>

#include "app/SerialPortList.h"

namespace pb {

class PortWatcher;

class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    using Lister = std::function<QList<PortFacts>()>;

    explicit PortComboBox(QWidget* parent = nullptr);

    // Replaces the items; the first is selected, then the edit text is set to `text`.
    void setPorts(const QList<PortEntry>& ports, const QString& text);

    // The adapter to follow (AdapterId()) and the port name it had, as kept in the
    // settings. It is followed only while the text is that name: a name the user typed
    // instead is left alone.
    void setAdapter(const QString& adapterId, const QString& portName) {
        adapter_ = adapterId;
        adapterPort_ = portName;
    }
    QString adapter() const { return adapter_; }
    // The adapter of the listed port `portName`, empty when it has none or is not listed.
    QString adapterOf(const QString& portName) const;

    // Watches `folders` for ports coming and going and lists the ports again from
    // `lister` once things settle; with an adapter set, the first listing follows when
    // the event loop runs.
    void followPorts(Lister lister = SystemPorts,
                     const QStringList& folders = {QStringLiteral("/dev"),
                                                   QStringLiteral("/dev/serial/by-id")});
    // The language of the ports' tool tips (the window's language index); from the next listing.
    void setLanguage(int language) { language_ = language; }
    // Lists the ports again now (or as soon as the window is idle).
    void refresh();

    void showPopup() override;

signals:
    void adapterMoved(const QString& from, const QString& to);

protected:
    void changeEvent(QEvent* event) override;

private:
    QString adapter_;
    QString adapterPort_;
    Lister lister_ = SystemPorts;
    PortWatcher* watcher_ = nullptr;
    bool refreshPending_ = false;
    int language_ = 0;
};

}  // namespace pb
