#pragma once
// Tells when serial adapters may have come or gone: watches /dev and /dev/serial/by-id
// (inotify through QFileSystemWatcher), so nothing runs while nothing changes. Bursts of
// changes (a device node, then its udev links) end in one signal.

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace pb {

class PortWatcher : public QObject {
    Q_OBJECT
public:
    // How long after the last change the signal comes: udev adds the links a moment later.
    static constexpr int kSettleMs = 400;

    explicit PortWatcher(QObject* parent = nullptr);

    // The folders to watch; those that do not exist yet are added once they appear
    // (a folder in the list that holds another is watched for it).
    void watch(const QStringList& folders);

signals:
    void portsMayHaveChanged();

private:
    void onChange();

    QFileSystemWatcher watcher_;
    QStringList folders_;
    QTimer settle_;
};

}  // namespace pb
