#include "files/CheckedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace pb {
namespace {

CheckedFile Refused(CheckedFile file, CheckedFile::Problem problem, const QString& detail = {}) {
    file.problem = problem;
    file.detail = detail;
    return file;
}

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

namespace {

CheckedFile ReadChecked(const QString& path, qint64 limit, bool headOnly) {
    CheckedFile file;
    file.path = path;
    file.limit = limit;
    if (path.isEmpty()) return file;
    // Not even opened unless it is a regular file: opening a device may do something.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return Refused(file, CheckedFile::Problem::NotAFile);
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer; O_NOCTTY: a
    // terminal named by mistake must not become ours.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR || error == ELOOP)
            return Refused(file, CheckedFile::Problem::Missing, SystemText(error));
        // A device that refuses the open (ENXIO: a socket, a FIFO with no one behind it).
        if (error == ENXIO || error == ENODEV) return Refused(file, CheckedFile::Problem::NotAFile);
        return Refused(file, CheckedFile::Problem::Unreadable, SystemText(error));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) return Refused(file, CheckedFile::Problem::Unreadable, SystemText(errno));
    if (!S_ISREG(info.st_mode)) return Refused(file, CheckedFile::Problem::NotAFile);
    file.size = info.st_size;
    if (file.size > limit && !headOnly) return Refused(file, CheckedFile::Problem::TooLarge);
    // A regular file now: reads of it block no longer than the disk does.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile reader;
    if (!reader.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return Refused(file, CheckedFile::Problem::Unreadable, reader.errorString());
    // One byte past the limit, so that a file that grew since fstat is still caught.
    file.bytes = reader.read(limit + 1);
    if (reader.error() != QFileDevice::NoError) {
        file.bytes.clear();
        return Refused(file, CheckedFile::Problem::Unreadable, reader.errorString());
    }
    if (file.bytes.size() > limit) {
        if (headOnly) {
            file.bytes.truncate(limit);
            file.size = qMax(file.size, limit + 1);
            file.problem = CheckedFile::Problem::None;
            return file;
        }
        file.size = file.bytes.size();
        file.bytes.clear();
        return Refused(file, CheckedFile::Problem::TooLarge);
    }
    file.size = file.bytes.size();
    file.problem = CheckedFile::Problem::None;
    return file;
}

}  // namespace

CheckedFile ReadCheckedFile(const QString& path, qint64 limit) {
    return ReadChecked(path, limit, false);
}

CheckedFile ReadCheckedFileHead(const QString& path, qint64 limit) {
    return ReadChecked(path, limit, true);
}

QString ProblemName(CheckedFile::Problem problem) {
    switch (problem) {
        case CheckedFile::Problem::None: return QStringLiteral("ok");
        case CheckedFile::Problem::Missing: return QStringLiteral("missing");
        case CheckedFile::Problem::NotAFile: return QStringLiteral("not-a-file");
        case CheckedFile::Problem::TooLarge: return QStringLiteral("too-large");
        case CheckedFile::Problem::Unreadable: break;
    }
    return QStringLiteral("unreadable");
}

}  // namespace pb
