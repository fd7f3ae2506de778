#include "app/PortWatcher.h"

#include <QFileInfo>

namespace pb {

PortWatcher::PortWatcher(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &PortWatcher::portsMayHaveChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::onChange);
}

void PortWatcher::watch(const QStringList& folders) {
    folders_ = folders;
    for (const QString& folder : folders_)
        if (QFileInfo(folder).isDir() && !watcher_.directories().contains(folder))
            watcher_.addPath(folder);
}

void PortWatcher::onChange() {
    // /dev/serial/by-id comes with the first USB adapter and goes with the last.
    watch(folders_);
    settle_.start();
}

}  // namespace pb
