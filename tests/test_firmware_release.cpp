// Firmware releases: minisign signatures that the minisign program writes and reads, and
// the policy's verdict over a release (signed only, trusted keys, models, downgrade, expiry).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "firmware/FirmwareRelease.h"
#include "firmware/ReleasePolicy.h"
#include "signing/Minisign.h"

using namespace pb;

namespace {

struct Releases {
    QTemporaryDir dir;
    signing::KeyPair key = signing::GenerateKeyPair();
    QString pub = write("k.pub", key.publicText), sec = write("k.key", key.secretText);
    QByteArray image = QByteArray("KV740MX-V6").leftJustified(16, '\0') + QByteArray(700, 'x');

    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return f.fileName();
    }
    // The image, signed here with this manifest (none: unsigned).
    FirmwareReleaseRef release(const std::optional<ReleaseManifest>& m, const QByteArray& bytes = {}) {
        const QString file = write("fw.KVF", bytes.isEmpty() ? image : bytes);
        QFile::remove(file + ".minisig");
        if (m) write("fw.KVF.minisig", signing::Sign(key.secret, image, m->trustedComment(), "test"));
        return ReadFirmwareRelease(file);
    }
    int minisign(const QStringList& args) {
        QProcess p;
        p.start("minisign", args);
        p.waitForFinished(60000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

ReleaseManifest manifest(const QString& version = "V6.02.00") {
    ReleaseManifest m;
    m.models = {"KV320MX-V5", "KV740MX-V6"};
    m.version = version;
    return m;
}

}  // namespace

TEST(FirmwareRelease, SignaturesGoBothWaysWithTheMinisignProgram) {
    Releases r;
    const QString file = r.write("fw.KVF", r.image);
    const ReleasePolicy trusted = ReleasePolicy::of({r.pub}, true);
    for (const bool legacy : {false, true}) {
        // Ours, read by minisign (prehashed "ED" and legacy "Ed").
        r.write("fw.KVF.minisig", signing::Sign(r.key.secret, r.image, manifest().trustedComment(), "t", !legacy));
        EXPECT_EQ(r.minisign({"-V", "-q", "-p", r.pub, "-m", file}), 0) << "legacy " << legacy;
        // minisign's, read here, with the same unencrypted key file.
        ASSERT_EQ(r.minisign(QStringList{"-S", "-W", "-s", r.sec, "-m", file, "-t", QString(manifest().trustedComment())} +
                             (legacy ? QStringList{"-l"} : QStringList{})),
                  0);
        const ReleaseVerdict v = CheckReleaseSignature(*ReadFirmwareRelease(file), trusted);
        EXPECT_TRUE(v.passed()) << v.code().toStdString();
        EXPECT_EQ(v.keyId, r.key.secret.publicKey().idText());
        ASSERT_TRUE(v.manifest);
        EXPECT_EQ(v.manifest->models, manifest().models);
        EXPECT_EQ(v.manifest->version, "V6.02.00");
    }
    // A key minisign made is read too, and its signature of one changed byte is refused.
    ASSERT_EQ(r.minisign({"-G", "-W", "-f", "-p", r.dir.filePath("m.pub"), "-s", r.dir.filePath("m.key")}), 0);
    ASSERT_EQ(r.minisign({"-S", "-W", "-s", r.dir.filePath("m.key"), "-m", file, "-t", QString(manifest().trustedComment())}), 0);
    QByteArray changed = r.image;
    changed[100] = 'y';
    r.write("fw.KVF", changed);
    EXPECT_EQ(CheckReleaseSignature(*ReadFirmwareRelease(file), ReleasePolicy::of({r.dir.filePath("m.pub")}, false)).code(),
              "bad-signature");
}

TEST(FirmwareRelease, ThePolicyRefusesWhatTheUnitMayNotTake) {
    Releases r;
    const ReleasePolicy open = ReleasePolicy::of({r.pub}, false), strict = ReleasePolicy::of({r.pub}, true);
    const QDate today(2027, 1, 10);
    const QString v6 = "KV740MX -V6.01.03";
    const auto judge = [&](const FirmwareReleaseRef& rel, const ReleasePolicy& p, int kind = 6, const QString& version = {}) {
        return JudgeRelease(*rel, p, kind, version.isEmpty() ? v6 : version, today);
    };
    EXPECT_EQ(judge(r.release(std::nullopt), open).code(), "unsigned") << "no policy asks for a signature";
    EXPECT_EQ(judge(r.release(std::nullopt), strict).cause.code, CauseCode::Unsigned);
    EXPECT_EQ(judge(r.release(manifest()), strict).code(), "signed");
    EXPECT_EQ(judge(r.release(manifest()), ReleasePolicy::of({}, false)).code(), "untrusted-key")
        << "a signature present is checked without a policy too";
    EXPECT_EQ(judge(r.release(manifest()), open, 2, "KV350MX -V4.07.01").code(), "not-for-this-model");
    const ReleaseVerdict older = judge(r.release(manifest("V6.00.09")), open);
    EXPECT_EQ(older.code(), "downgrade");
    EXPECT_EQ(older.cause.values.value("unitVersion").toString(), "V6.01.03");
    EXPECT_EQ(older.cause.values.value("imageVersion").toString(), "V6.00.09");
    ReleaseManifest allowed = manifest("V6.00.09");
    allowed.downgrade = true;
    EXPECT_TRUE(judge(r.release(allowed), open).passed());
    ReleaseManifest expiring = manifest();
    expiring.expires = QDate(2027, 1, 9);
    EXPECT_EQ(judge(r.release(expiring), open).code(), "expired");
    expiring.expires = today;
    EXPECT_TRUE(judge(r.release(expiring), open).passed()) << "good through its last day";
    // The image differs from what was signed: refused whatever the manifest says.
    QByteArray changed = r.image;
    changed[20] = char(changed[20] ^ 1);
    EXPECT_EQ(judge(r.release(manifest(), changed), open).code(), "bad-signature");
    // The verdict as the records keep it.
    const QJsonObject kept = judge(r.release(manifest()), open).toJson();
    EXPECT_EQ(kept.value("keyId").toString(), r.key.secret.publicKey().idText());
    EXPECT_EQ(kept.value("manifest").toObject().value("version").toString(), "V6.02.00");
}
