// Firmware releases on a unit through panelbench-cli: each refusal of the release policy
// comes after the identify and before the loader; a file swapped while upgrades run never
// gives a passed upgrade of other bytes than the checked and recorded ones; an upgrade cut
// off by a power cut ends line-lost and the next one finishes it, in protocols A, B and C.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCryptographicHash>
#include <QRegularExpression>
#include <atomic>
#include <thread>

#include "firmware/FirmwareRelease.h"
#include "signing/Minisign.h"
#include "tests/support/CliRig.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

QJsonObject resultOf(const CliResult& r) {
    const auto results = r.eventsOf(QStringLiteral("result"));
    return results.isEmpty() ? QJsonObject{} : results.last();
}
QString causeOf(const CliResult& r) {
    return resultOf(r).value("detail").toObject().value("cause").toObject().value("code").toString();
}
void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
QString sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

}  // namespace

TEST(CliFirmwareRelease, EveryRefusalComesBeforeTheLoaderAndExitsSix) {
    const SimModelCase m = ModelCaseFor(6);  // KV740MX -V6.01.03, protocol A
    QTemporaryDir dir;
    const pb::signing::KeyPair key = pb::signing::GenerateKeyPair(), other = pb::signing::GenerateKeyPair();
    const QString pub = dir.filePath("release.pub");
    writeBytes(pub, key.publicText);
    const QByteArray image = PatternImage(4 * m.blockSize, 6);
    const QString file = WriteFirmware(dir, m.header, image, "fw.KVF");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const auto sign = [&](const pb::signing::KeyPair& by, const QStringList& models, const QString& version,
                          const QDate& expires = {}) {
        pb::ReleaseManifest r{models, version, false, expires};
        writeBytes(file + ".minisig", pb::signing::Sign(by.secret, bytes, r.trustedComment(), "test"));
    };
    SimProcess sim({"--model", "v6", "--id", m.id});
    const auto upgrade = [&](const QStringList& more) {
        return RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--no-records", "--trust", pub} + more + sim.link());
    };
    const QStringList v6 = {"KV740MX-V6"};
    struct Case {
        std::function<void()> prepare;
        QStringList more;
        QString cause;
    };
    const QList<Case> cases = {
        {[&] { QFile::remove(file + ".minisig"); }, {"--signed-only"}, "unsigned"},
        {[&] {
             sign(key, v6, "V6.02.00");
             QByteArray changed = bytes;
             changed[40] = char(changed[40] ^ 0x10);
             writeBytes(file, changed);
         },
         {}, "bad-signature"},
        {[&] { sign(other, v6, "V6.02.00"); }, {}, "untrusted-key"},
        {[&] { sign(key, {"KV320MX-V5"}, "V6.02.00"); }, {}, "not-for-this-model"},
        {[&] { sign(key, v6, "V6.00.00"); }, {}, "downgrade"},
        {[&] { sign(key, v6, "V6.02.00", QDate(2020, 1, 31)); }, {"--signed-only"}, "expired"},
    };
    for (const Case& c : cases) {
        writeBytes(file, bytes);
        c.prepare();
        const CliResult r = upgrade(c.more);
        EXPECT_EQ(r.exitCode, 6) << qPrintable(c.cause) << r.out.constData();
        EXPECT_EQ(causeOf(r), c.cause) << r.out.constData();
    }
    sim.stop();
    const QStringList received = sim.received();
    EXPECT_GE(received.filter(QRegularExpression("AC$|DB$")).size(), int(cases.size())) << "each one identified first";
    EXPECT_TRUE(received.filter(QRegularExpression("Z[xpv]")).isEmpty()) << "the loader was never entered";
}

TEST(CliFirmwareRelease, ASignedReleasePassesAndTheRecordNamesItsBytesKeyAndVerdict) {
    const SimModelCase m = ModelCaseFor(2);  // protocol B
    QTemporaryDir dir;
    const pb::signing::KeyPair key = pb::signing::GenerateKeyPair();
    writeBytes(dir.filePath("k.pub"), key.publicText);
    writeBytes(dir.filePath("k.key"), key.secretText);
    const QString file = WriteFirmware(dir, m.header, PatternImage(4 * m.blockSize, 2), "fw.KVF");
    const CliResult signing = RunCli({"firmware", "sign", file, "--secret-key", dir.filePath("k.key"), "--models",
                                      QString(m.header).trimmed(), "--version", "V4.08.00"});
    ASSERT_EQ(signing.exitCode, 0) << signing.err.constData();
    EXPECT_EQ(RunCli({"firmware", "verify", file, "--trust", dir.filePath("k.pub")}).exitCode, 0);
    SimProcess sim({"--model", "v4", "--id", m.id});
    const QString records = dir.filePath("records.sqlite");
    const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--signed-only", "--trust",
                                           dir.filePath("k.pub"), "--records", records} + sim.link());
    ASSERT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    const CliResult exported = RunCli({"records", "export", "--format", "json", "--records", records});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.constData();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(exported.out);
    EXPECT_TRUE(text.contains(sha256Hex(f.readAll()))) << "the SHA-256 of the bytes flashed";
    EXPECT_TRUE(text.contains(key.secret.publicKey().idText()));
    EXPECT_TRUE(text.contains("\"verdict\":\"signed\"") || text.contains("\"verdict\": \"signed\""));
    EXPECT_TRUE(text.contains("V4.08.00")) << "the manifest";
}

// A line's file server replaces, renames and truncates the file while upgrades run.
TEST(CliFirmwareRelease, AFileSwappedWhileUpgradesRunNeverFlashesUncheckedBytes) {
    const SimModelCase m = ModelCaseFor(2);
    QTemporaryDir dir;
    const QByteArray one = PatternImage(8 * m.blockSize, 11), two = PatternImage(8 * m.blockSize, 12);
    const QString a = WriteFirmware(dir, m.header, one, "a.KVF"), b = WriteFirmware(dir, m.header, two, "b.KVF");
    const QString file = dir.filePath("fw.KVF"), spare = dir.filePath("spare.KVF");
    QFile::copy(a, file);
    std::atomic<bool> going{true};
    std::thread swapper([&] {
        for (int i = 0; going; ++i) {
            const QString from = i % 2 ? a : b;
            if (i % 5 == 4) {
                QFile::resize(file, 10);  // truncated in place, then written again
                QFile::remove(file);
                QFile::copy(from, file);
            } else {
                QFile::remove(spare);
                QFile::copy(from, spare);
                ::rename(QFile::encodeName(spare).constData(), QFile::encodeName(file).constData());
            }
            ::usleep(1000);
        }
    });
    int passed = 0;
    for (int run = 0; run < 6; ++run) {
        SimProcess sim({"--model", "v4", "--id", m.id});
        const QString records = dir.filePath(QStringLiteral("records%1.sqlite").arg(run));
        const CliResult r = RunCli(QStringList{"upgrade", file, "--id", m.id, "--json", "--records", records} + sim.link());
        sim.stop();
        if (r.exitCode != 0) {
            EXPECT_EQ(r.exitCode, 6) << "refused, never half-flashed: " << r.out.constData() << r.err.constData();
            continue;
        }
        ++passed;
        const QByteArray flash = sim.flash().left(one.size());
        ASSERT_TRUE(flash == one || flash == two) << "run " << run << ": a mix of two files was flashed";
        // Every block sent is of the one image, and the result names exactly its bytes.
        const QByteArray& image = flash == one ? one : two;
        for (const QString& c : sim.received().filter(QRegularExpression("^" + m.id + "P"))) {
            const int block = c.mid(m.id.size() + 1, 4).toInt(nullptr, 16) / m.blockSize;
            EXPECT_EQ(c.mid(m.id.size() + 5), QString::fromLatin1(image.mid(block * m.blockSize, m.blockSize).toHex().toUpper()));
        }
        const QList<QJsonObject> kept =
            RunCli({"records", "list", "--json", "--records", records, "--procedure", "firmware-upgrade"}).eventsOf("run");
        ASSERT_EQ(kept.size(), 1);
        const QJsonObject facts = kept[0].value("details").toObject().value("file").toObject();
        EXPECT_EQ(facts.value("sha256").toString(), sha256Hex(FirmwareFileBytes(m.header, image))) << "the record names the bytes flashed";
    }
    going = false;
    swapper.join();
    EXPECT_GT(passed, 0) << "no upgrade got through to check";
}

TEST(CliFirmwareRelease, AnUpgradeCutOffByThePowerIsFinishedByTheNextOneInEveryProtocol) {
    for (const auto& [kind, model, block] : {std::tuple{6, "v6", 2}, std::tuple{2, "v4", 5}, std::tuple{4, "old20", 3}}) {
        SCOPED_TRACE(model);
        const SimModelCase m = ModelCaseFor(kind);
        QTemporaryDir dir;
        const QByteArray image = PatternImage(8 * m.blockSize, kind);
        const QString file = WriteFirmware(dir, m.header, image);
        SimProcess sim({"--model", model, "--id", m.id, "--power-cut-at-block", QString::number(block), "--power-off-ms", "1500"});
        const QStringList args = QStringList{"upgrade", file, "--id", m.id, "--json", "--no-records"} + sim.link();
        const CliResult cut = RunCli(args);
        EXPECT_EQ(cut.exitCode, 7) << cut.out.constData();
        EXPECT_EQ(causeOf(cut), "line-lost");
        EXPECT_TRUE(resultOf(cut).value("detail").toObject().value("mayLackFirmware").toBool());
        EXPECT_TRUE(cut.out.contains("Upgrade again before use")) << "the status line's words";
        // Back after the cut: its boot loader answers who it is, nothing of the application.
        bool back = false;
        for (int i = 0; i < 60 && !back; ++i) back = RunCli(QStringList{"identify", "--id", m.id} + sim.link()).exitCode == 0;
        ASSERT_TRUE(back);
        const CliResult again = RunCli(args);
        EXPECT_EQ(again.exitCode, 0) << again.out.constData() << again.err.constData();
        sim.stop();
        EXPECT_EQ(sim.flash().left(image.size()), image);
    }
}
