#include "output/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace pb {
namespace {

SaveResult Failed(const QFileDevice& file, const QString& why) {
    return {false, why.isEmpty() ? file.errorString() : why};
}

}  // namespace

SaveResult WriteWholeFile(const QString& path, const QByteArray& content) {
    return WriteWholeFile(path, [&](QIODevice& device, QString&) {
        return device.write(content) == content.size();
    });
}

SaveResult WriteWholeFile(const QString& path, const std::function<bool(QIODevice&, QString& why)>& write) {
    QString why;
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile direct(path);
        if (!direct.open(QIODevice::WriteOnly)) return Failed(direct, {});
        if (!write(direct, why) || !direct.flush()) return Failed(direct, why);
        direct.close();
        if (direct.error() != QFileDevice::NoError) return Failed(direct, {});
        return {true, {}};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return Failed(file, {});
    // Given up or not committed, the file beside the target goes with `file`.
    if (!write(file, why)) return Failed(file, why);
    // Flushed here: commit() itself renames the file into place even when the last
    // bytes of its buffer found no room (Qt 6.4).
    if (!file.flush() || !file.commit()) return Failed(file, {});
    return {true, {}};
}

}  // namespace pb
