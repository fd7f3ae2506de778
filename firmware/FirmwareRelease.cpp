#include "firmware/FirmwareRelease.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>

#include "firmware/FirmwareImage.h"

namespace pb {
namespace {

constexpr char kReleasePrefix[] = "panelbench-release ";
constexpr qint64 kSignatureFileLimit = 4096;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The whole file through one descriptor, with its state before and after the read: what
// was read is the file only when nothing of it changed in between.
Cause readWhole(const QString& path, QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Cause::of(errno == ENOENT ? CauseCode::FileMissing : CauseCode::FileUnreadable, {path});
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat before {}, after {};
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) || before.st_size > kWholeFirmwareLimit)
        return Cause::of(CauseCode::FileUnreadable, {path});
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bytes.resize(qsizetype(before.st_size) + 1);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Cause::of(CauseCode::FileUnreadable, {path});
        if (n == 0) break;
        done += n;
    }
    bytes.truncate(qsizetype(done));
    if (::fstat(fd, &after) != 0 || !sameFile(before, after) || done != before.st_size) {
        bytes.clear();
        return Cause::of(CauseCode::FileChanged, {path});
    }
    return {};
}

}  // namespace

QJsonObject ReleaseManifest::toJson() const {
    QJsonObject o{{QStringLiteral("models"), QJsonArray::fromStringList(models)},
                  {QStringLiteral("version"), version},
                  {QStringLiteral("downgrade"), downgrade}};
    if (expires.isValid()) o.insert(QStringLiteral("expires"), expires.toString(Qt::ISODate));
    return o;
}

QByteArray ReleaseManifest::trustedComment() const {
    return kReleasePrefix + QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<ReleaseManifest> ReleaseManifest::fromTrustedComment(const QByteArray& comment) {
    if (!comment.startsWith(kReleasePrefix)) return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(comment.mid(int(sizeof kReleasePrefix) - 1), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    ReleaseManifest m;
    const QJsonValue models = o.value(QStringLiteral("models"));
    if (!models.isArray() || models.toArray().isEmpty()) return std::nullopt;
    for (const QJsonValue& v : models.toArray()) {
        if (!v.isString() || v.toString().trimmed().isEmpty()) return std::nullopt;
        m.models << v.toString();
    }
    if (!o.value(QStringLiteral("version")).isString()) return std::nullopt;
    m.version = o.value(QStringLiteral("version")).toString();
    const QJsonValue downgrade = o.value(QStringLiteral("downgrade"));
    if (!downgrade.isUndefined() && !downgrade.isBool()) return std::nullopt;
    m.downgrade = downgrade.toBool(false);
    if (const QJsonValue expires = o.value(QStringLiteral("expires")); !expires.isUndefined()) {
        m.expires = QDate::fromString(expires.toString(), Qt::ISODate);
        if (!m.expires.isValid()) return std::nullopt;
    }
    return m;
}

QByteArray FirmwareRelease::header() const { return bytes.left(kFirmwareHeaderSize); }

QJsonObject FirmwareRelease::facts() const {
    QJsonObject facts{{QStringLiteral("name"), QFileInfo(path).fileName()}};
    if (!ok()) return facts;
    facts.insert(QStringLiteral("size"), size());
    facts.insert(QStringLiteral("sha256"), sha256Hex());
    if (IsFirmwareHeader(header()))
        facts.insert(QStringLiteral("header"), HeaderText(header()));
    else
        facts.insert(QStringLiteral("headerHex"), QString::fromLatin1(header().toHex()));
    return facts;
}

FirmwareReleaseRef ReadFirmwareRelease(const QString& path) {
    auto release = std::make_shared<FirmwareRelease>();
    release->path = path;
    if (path.isEmpty()) return release;
    // The checks first: a folder, FIFO or device is not opened for reading whole.
    release->check = ReadCheckedFileHead(path, 0);
    if (!release->check.ok()) {
        release->problem = Cause::of(release->check.problem == CheckedFile::Problem::Missing ? CauseCode::FileMissing
                                                                                             : CauseCode::FileUnreadable,
                                     {path});
        return release;
    }
    release->problem = readWhole(path, release->bytes);
    if (!release->ok()) return release;
    release->sha256 = QCryptographicHash::hash(release->bytes, QCryptographicHash::Sha256);
    const CheckedFile signature = ReadCheckedFile(path + QStringLiteral(".minisig"), kSignatureFileLimit);
    release->signatureFile = signature.problem != CheckedFile::Problem::Missing;
    if (signature.ok()) release->signature = signing::ParseSignature(signature.bytes);
    return release;
}

}  // namespace pb
