#pragma once
// Counts this process's open file descriptors, to show that a test left none behind, and
// names them, so that a failure says which one it was.

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QStringList>

namespace pbtest {

// Which descriptors to list. A window also holds descriptors that come and go with
// threads Qt starts on its own: the painter's thread pool grows as a repaint needs it,
// and a file dialog's watcher thread opens its inotify descriptor when it gets to it.
// Those are "anon_inode:" descriptors; a link's are sockets, terminals and files.
enum class FdKinds { All, LinkKinds };  // LinkKinds: no "anon_inode:" descriptors

// "fd -> target" for each entry of /proc/self/fd, after the objects waiting for
// deleteLater are gone (a closed link hands its transport to the event loop for deletion).
inline QStringList OpenFds(FdKinds kinds = FdKinds::All) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QString dir = QStringLiteral("/proc/self/fd/");
    QStringList fds;
    for (const QString& name : QDir(dir).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[512] = {};
        const ssize_t n =
            ::readlink(QFile::encodeName(dir + name).constData(), target, sizeof target - 1);
        if (n < 0) continue;  // the listing's own descriptor, closed by now
        const QString text = QString::fromLocal8Bit(target, n);
        if (kinds == FdKinds::LinkKinds && text.startsWith(QLatin1String("anon_inode:"))) continue;
        fds << name + QStringLiteral(" -> ") + text;
    }
    return fds;
}

inline int OpenFdCount() {
    return int(OpenFds().size());
}

// The descriptors in after that were not in before, for a failure message.
inline QString NewFds(const QStringList& before, const QStringList& after) {
    QStringList added;
    for (const QString& fd : after)
        if (!before.contains(fd)) added << fd;
    return added.join(QStringLiteral(", "));
}

}  // namespace pbtest
