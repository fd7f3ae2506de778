#pragma once
// Which firmware releases a unit may take: signed by a trusted key (and signed at all when
// the policy asks for it), for the unit's model, no older than the unit's own version
// unless the release allows it, and not expired. Decided over the release value after the
// identify and before the loader is entered; the verdict goes with the run's record.

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <optional>

#include "evidence/Cause.h"
#include "firmware/FirmwareRelease.h"
#include "signing/Minisign.h"

namespace pb {

struct ReleasePolicy {
    QList<signing::PublicKey> trusted;
    bool signedOnly = false;  // an unsigned file is refused
    // Key files that could not be read as minisign public keys (named, for the caller).
    QStringList unreadableKeys;

    // The keys of these public key files; one that cannot be read is left out and named.
    static ReleasePolicy of(const QStringList& keyFiles, bool signedOnly);
};

struct ReleaseVerdict {
    Cause cause;    // passed: the release may be flashed
    QString keyId;  // the signature's key, as minisign prints it; empty when unsigned
    std::optional<ReleaseManifest> manifest;  // a good signature's

    bool passed() const { return cause.passed(); }
    // "signed", "unsigned" (allowed), or the cause's code.
    QString code() const;
    // {"verdict", "keyId", "manifest"}, as the records keep it.
    QJsonObject toJson() const;
};

// The signature alone: good and trusted, unsigned (refused only by signedOnly), or why not.
ReleaseVerdict CheckReleaseSignature(const FirmwareRelease& release, const ReleasePolicy& policy);

// The whole verdict for the identified unit: its model kind and the identify's version
// caption ("KV740MX -V6.01.03"), on `today`.
ReleaseVerdict JudgeRelease(const FirmwareRelease& release, const ReleasePolicy& policy, int modelKind,
                            const QString& versionText, const QDate& today);

}  // namespace pb
