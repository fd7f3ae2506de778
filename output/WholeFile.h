#pragma once
// Writing a file the user named (an export, a report, a saved traffic log): whole or not
// at all, checked to the end. A regular file (or a new one) is written beside itself and
// renamed over the old one only when every byte, the flush and the close went well, so a
// failure leaves no partial file. Anything else that is named (a device such as
// /dev/stdout or /dev/full, a pipe) is written directly and checked to its close, and is
// never replaced by a file.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>

namespace pb {

// The reason when it failed, in the system's words.
struct SaveResult {
    bool ok = false;
    QString error;
};

SaveResult WriteWholeFile(const QString& path, const QByteArray& content);
// The same for content written as it is made (a PDF): `write` fills the device it is
// given and returns false when it gave up (the reason in `why`, if any).
SaveResult WriteWholeFile(const QString& path, const std::function<bool(QIODevice&, QString& why)>& write);

}  // namespace pb
