#pragma once
// Reading a file the user names (a recipe, a units file, a firmware image, a fixture):
// checked before a byte is read. It must be a regular file once links are followed, and
// no larger than the caller's limit; a folder, pipe, device or socket is refused, so that
// /dev/zero cannot fill the memory and a FIFO cannot hold the program. Opened without
// blocking and checked on the open file itself, so nothing can be swapped in between.
// Reads are plain file reads, which return at once: signals are served as usual.

#include <QByteArray>
#include <QString>

namespace pb {

// Recipes, units files and fixture files: text a person writes.
constexpr qint64 kTextFileLimit = qint64(1) << 20;

struct CheckedFile {
    enum class Problem {
        None,
        Missing,     // nothing at the path (or a link to nothing)
        NotAFile,    // a folder, FIFO, device or socket
        TooLarge,    // more bytes than the limit
        Unreadable,  // no permission, or the system's error (detail)
    };
    Problem problem = Problem::Missing;
    QString path;
    qint64 size = 0;   // bytes, for a regular file
    qint64 limit = 0;  // the limit it was checked against
    QString detail;    // the system's words for Unreadable
    QByteArray bytes;  // the whole file (or its head: ReadCheckedFileHead), when read and ok

    bool ok() const { return problem == Problem::None; }
};

// Checks the file at `path` and reads it whole when it passes.
CheckedFile ReadCheckedFile(const QString& path, qint64 limit);
// The same checks, but a regular file past `limit` passes too: only its first `limit`
// bytes are read, and `size` is the whole file's (for a reader that takes no more than
// a head of any file and counts what it left).
CheckedFile ReadCheckedFileHead(const QString& path, qint64 limit);

// "missing", "not-a-file", "too-large", "unreadable" (or "ok"), for logs and tests.
QString ProblemName(CheckedFile::Problem problem);

}  // namespace pb
