#include "firmware/ReleasePolicy.h"

#include "files/CheckedFile.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ModelCheck.h"
#include "recipes/RecipeVersion.h"

namespace pb {
namespace {

constexpr qint64 kKeyFileLimit = 4096;

// A manifest's model text as a header names it, for the model check's comparison.
QByteArray asHeader(const QString& model) {
    QByteArray header = model.toLatin1().left(kFirmwareHeaderSize);
    header.append(QByteArray(kFirmwareHeaderSize - header.size(), '\0'));
    return header;
}

}  // namespace

ReleasePolicy ReleasePolicy::of(const QStringList& keyFiles, bool signedOnly) {
    ReleasePolicy policy;
    policy.signedOnly = signedOnly;
    for (const QString& file : keyFiles) {
        const CheckedFile read = ReadCheckedFile(file, kKeyFileLimit);
        const std::optional<signing::PublicKey> key =
            read.ok() ? signing::ParsePublicKey(read.bytes) : std::nullopt;
        if (key)
            policy.trusted << *key;
        else
            policy.unreadableKeys << file;
    }
    return policy;
}

QString ReleaseVerdict::code() const {
    if (!passed()) return cause.name();
    return keyId.isEmpty() ? QStringLiteral("unsigned") : QStringLiteral("signed");
}

QJsonObject ReleaseVerdict::toJson() const {
    QJsonObject o{{QStringLiteral("verdict"), code()}};
    if (!keyId.isEmpty()) o.insert(QStringLiteral("keyId"), keyId);
    if (manifest) o.insert(QStringLiteral("manifest"), manifest->toJson());
    return o;
}

ReleaseVerdict CheckReleaseSignature(const FirmwareRelease& release, const ReleasePolicy& policy) {
    ReleaseVerdict v;
    if (!release.signatureFile) {
        if (policy.signedOnly) v.cause = Cause::of(CauseCode::Unsigned);
        return v;
    }
    // A signature present is always checked, whether the policy asks for one or not.
    if (!release.signature) {
        v.cause = Cause::of(CauseCode::BadSignature);
        return v;
    }
    v.keyId = release.signature->idText();
    const signing::PublicKey* key = nullptr;
    for (const signing::PublicKey& k : policy.trusted)
        if (k.keyId == release.signature->keyId) key = &k;
    if (!key) {
        v.cause = Cause::of(CauseCode::UntrustedKey, {v.keyId});
        return v;
    }
    if (signing::Verify(*key, release.bytes, *release.signature) != signing::Check::Good) {
        v.cause = Cause::of(CauseCode::BadSignature);
        return v;
    }
    v.manifest = ReleaseManifest::fromTrustedComment(release.signature->trustedComment);
    // Signed, but not as a release: it says nothing of the models it is for.
    if (!v.manifest) v.cause = Cause::of(CauseCode::NotForThisModel, {QString(), QString()});
    return v;
}

ReleaseVerdict JudgeRelease(const FirmwareRelease& release, const ReleasePolicy& policy, int modelKind,
                            const QString& versionText, const QDate& today) {
    ReleaseVerdict v = CheckReleaseSignature(release, policy);
    if (!v.passed() || !v.manifest) {
        if (v.cause.code == CauseCode::NotForThisModel)
            v.cause = Cause::of(CauseCode::NotForThisModel, {ExpectedModel(modelKind, versionText), QString()});
        return v;
    }
    const ReleaseManifest& m = *v.manifest;
    bool forThisModel = false;
    for (const QString& model : m.models)
        forThisModel = forThisModel || HeaderMatchesModel(asHeader(model), modelKind, versionText);
    if (!forThisModel) {
        v.cause = Cause::of(CauseCode::NotForThisModel,
                            {ExpectedModel(modelKind, versionText), m.models.join(QStringLiteral(", "))});
        return v;
    }
    if (!m.downgrade) {
        const std::optional<VersionText> unit = parseVersion(versionText);
        const std::optional<VersionText> image = parseVersion(m.version);
        if (unit && image && unit->compareNumbers(*image) > 0) {
            v.cause = Cause::of(CauseCode::Downgrade, {unit->text, image->text});
            return v;
        }
    }
    if (m.expires.isValid() && today.isValid() && today > m.expires)
        v.cause = Cause::of(CauseCode::Expired, {m.expires.toString(Qt::ISODate)});
    return v;
}

}  // namespace pb
