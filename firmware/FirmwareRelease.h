#pragma once
// A firmware file as one immutable value, read once at the edge of a run: its bytes,
// header, size, SHA-256 and its signature file's text. The model check, a recipe's pin,
// the signature, programming, verifying and the record all read this value; nothing
// re-opens the file, so a file swapped, renamed or truncated during a run changes
// nothing of what was checked and flashed. A file that changed while it was read is
// refused (FileChanged).
//
// A release is NAME.KVF and NAME.KVF.minisig, whose trusted comment is
// "panelbench-release " and a one-line JSON manifest:
//   {"models": ["KV740MX-V6"], "version": "V6.02.00", "downgrade": false, "expires": "2027-06-30"}

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "evidence/Cause.h"
#include "files/CheckedFile.h"
#include "signing/Minisign.h"

namespace pb {

struct ReleaseManifest {
    QStringList models;  // the model texts the image is for, as a header names its model
    QString version;     // "V6.02.00"
    bool downgrade = false;  // a unit reporting a newer version may take it
    QDate expires;           // invalid: never

    QJsonObject toJson() const;
    // "panelbench-release {...}", the trusted comment that carries it.
    QByteArray trustedComment() const;
    // The manifest of a trusted comment; none when it carries none, or a damaged one.
    static std::optional<ReleaseManifest> fromTrustedComment(const QByteArray& comment);
};

struct FirmwareRelease {
    QString path;
    // Passed when the file was read whole and did not change under the read; else why
    // not (FileNotChosen, FileMissing, FileUnreadable, FileChanged).
    Cause problem = Cause::of(CauseCode::FileNotChosen);
    // The file's check, for the advice on a file that is no regular file (no bytes here).
    CheckedFile check;
    QByteArray bytes;   // the whole file
    QByteArray sha256;  // 32 bytes, of `bytes`
    // The signature file beside it: none when there is none; present but not a minisign
    // signature, a signature value of none (and a bad signature to the policy).
    bool signatureFile = false;
    std::optional<signing::Signature> signature;

    bool ok() const { return problem.passed(); }
    QByteArray header() const;
    qint64 size() const { return bytes.size(); }
    QString sha256Hex() const { return QString::fromLatin1(sha256.toHex()); }
    // {"name", "size", "sha256", "header"} as a record keeps them ("headerHex" when the
    // header is no text); the name alone for a file that could not be read.
    QJsonObject facts() const;
};

using FirmwareReleaseRef = std::shared_ptr<const FirmwareRelease>;

// The most of a firmware file read whole (its hash and signature are of the whole file).
constexpr qint64 kWholeFirmwareLimit = qint64(64) << 20;

// Reads the file and its PATH.minisig once.
FirmwareReleaseRef ReadFirmwareRelease(const QString& path);

}  // namespace pb
