#pragma once
// Counts this process's open file descriptors, to show that a test left none behind.

#include <QCoreApplication>
#include <QDir>
#include <QEvent>

namespace pbtest {

// The entries of /proc/self/fd, after the objects waiting for deleteLater are gone
// (a closed link hands its transport to the event loop for deletion).
inline int OpenFdCount() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

}  // namespace pbtest
