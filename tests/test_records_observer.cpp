// The records' run observer on a real SQLite store: which unit a run goes to, the
// connect run moved to the unit it identified, an upgrade's version before and after,
// the link's frames with their verdicts, and a store that is off.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "link/Frame.h"
#include "i18n/RecordsTexts.h"
#include "catalogue/TestNames.h"
#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"
#include "records/store/RunRecordsObserver.h"
#include "tests/support/TestPeers.h"

using namespace pb;
using pb::records::RecordStore;
using pb::records::RunRecordsObserver;
using Outcome = pb::records::Outcome;

namespace {

LinkSettings Net(const QString& port = QStringLiteral("4001")) {
    LinkSettings link;
    link.kind = LinkKind::Net;
    link.ip = QStringLiteral("127.0.0.1");
    link.tcpPort = port;
    return link;
}

ControllerIdentity Kv(const QString& serial, const QString& version) {
    return {QStringLiteral("0123"), 6, version, serial};
}

TrafficRecord Record(TrafficRecord::Direction direction, const QByteArray& bytes, qint64 ms) {
    TrafficRecord record;
    record.direction = direction;
    record.bytes = bytes;
    record.msSinceOpen = ms;
    record.checksumOk = direction == TrafficRecord::Direction::Received;
    return record;
}

struct Bench {
    QTemporaryDir dir;
    RecordStore store;
    RunRecordsObserver observer{store};
    qint64 clockMs = 1'765'000'000'000;

    Bench() {
        EXPECT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
        observer.setStation(QStringLiteral("bench-1"));
    }

    // One run as the test-run frame reports it; returns the run's id.
    qint64 run(TestId test, RunOutcome outcome, const LinkSettings& link = Net(),
               QJsonObject detail = {}, const std::optional<ControllerIdentity>& identified = {}) {
        const qint64 start = clockMs;
        observer.runStarted(RunStart{test, start, link});
        const qint64 id = observer.currentRunId();
        clockMs += 1500;
        if (identified) detail.insert(QStringLiteral("controller"), ToJson(*identified));
        observer.runEnded(RunReport{test, start, clockMs, outcome,
                                    QStringLiteral("Command ok."), link, detail});
        if (identified && outcome == RunOutcome::Ok) observer.controllerIdentified(*identified);
        clockMs += 1000;
        return id;
    }
};

}  // namespace

TEST(RecordsObserver, RunsGoToTheUnitLastIdentifiedOnTheirLink) {
    Bench b;
    b.observer.setOperator(QStringLiteral("Li Wei"));
    const qint64 early = b.run(TestId::Dido, RunOutcome::Ok);
    const qint64 connect = b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-0042", "KV410 V3.20"));
    const qint64 dido = b.run(TestId::Dido, RunOutcome::Error, Net(), {{"cycles", 3}});
    LinkSettings com;
    com.portName = QStringLiteral("/dev/pts/9");
    com.speed = QStringLiteral("19200,e,8,1");
    const qint64 elsewhere = b.run(TestId::SetDate, RunOutcome::OpenFailed, com);
    const qint64 stopped = b.run(TestId::Polling, RunOutcome::Interrupted);
    ASSERT_GT(early, 0);

    const auto earlyRow = b.store.queries().run(early), connectRow = b.store.queries().run(connect), didoRow = b.store.queries().run(dido),
               elsewhereRow = b.store.queries().run(elsewhere), stoppedRow = b.store.queries().run(stopped);
    ASSERT_TRUE(earlyRow && connectRow && didoRow && elsewhereRow && stoppedRow);
    // Before any identify: the link's unidentified unit.
    EXPECT_EQ(earlyRow->unitSerial, "");
    EXPECT_EQ(earlyRow->linkText, "127.0.0.1:4001");
    EXPECT_EQ(earlyRow->procedure, "dido");
    EXPECT_EQ(earlyRow->operatorName, "Li Wei");
    EXPECT_EQ(earlyRow->station, "bench-1");
    // The connect run belongs to the unit it found, and so does what follows on its link.
    EXPECT_EQ(connectRow->unitSerial, "SN-0042");
    EXPECT_EQ(connectRow->outcome, Outcome::Ok);
    EXPECT_EQ(connectRow->statusText, "Command ok.");
    EXPECT_EQ(connectRow->endMs - connectRow->startMs, 1500);
    EXPECT_EQ(didoRow->unitSerial, "SN-0042");
    EXPECT_EQ(didoRow->outcome, Outcome::Error);
    EXPECT_EQ(didoRow->details.value("cycles").toInt(), 3);
    EXPECT_EQ(elsewhereRow->unitSerial, "");
    EXPECT_EQ(elsewhereRow->linkText, "/dev/pts/9 19200,e,8,1");
    EXPECT_EQ(elsewhereRow->outcome, Outcome::OpenFailed);
    EXPECT_EQ(stoppedRow->outcome, Outcome::Interrupted);
    EXPECT_EQ(stoppedRow->procedure, "polling");

    const auto units = b.store.queries().units(QStringLiteral("SN-0042"));
    ASSERT_EQ(units.size(), 1);
    EXPECT_EQ(units[0].identity.modelKind, 6);
    EXPECT_EQ(units[0].identity.version, "KV410 V3.20");
    EXPECT_EQ(units[0].identity.modelText, "KV410");
    EXPECT_EQ(units[0].identity.deviceId, "0123");
    EXPECT_EQ(units[0].runCount, 3);  // connect, DI/DO, polling
}

TEST(RecordsObserver, AnUpgradeKeepsTheVersionBeforeAndTheNextIdentifysVersion) {
    Bench b;
    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-7", "KV410 V3.20"));
    const QJsonObject file{{"name", "kv410.bin"}, {"size", 65536}, {"sha256", "ab12"}};
    const qint64 upgrade = b.run(TestId::FirmwareUpgrade, RunOutcome::Ok, Net(), {{"file", file}, {"blocksProgrammed", 256}});
    // Another link's identify says nothing of this unit's version.
    b.run(TestId::Connect, RunOutcome::Ok, Net("4002"), {}, Kv("SN-8", "KV410 V9.99"));
    auto row = b.store.queries().run(upgrade);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->unitSerial, "SN-7");
    EXPECT_EQ(row->details.value("versionBefore").toString(), "KV410 V3.20");
    EXPECT_FALSE(row->details.contains("versionAfter"));
    EXPECT_EQ(row->details.value("file").toObject().value("sha256").toString(), "ab12");

    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-7", "KV410 V3.30"));
    row = b.store.queries().run(upgrade);
    EXPECT_EQ(row->details.value("versionAfter").toString(), "KV410 V3.30");
    EXPECT_EQ(row->details.value("blocksProgrammed").toInt(), 256);
    EXPECT_EQ(row->details.value("file").toObject().value("name").toString(), "kv410.bin");
    // Only the next identify: a later one leaves it be.
    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-7", "KV410 V4.00"));
    EXPECT_EQ(b.store.queries().run(upgrade)->details.value("versionAfter").toString(), "KV410 V3.30");
}

TEST(RecordsObserver, AVersionAnUpgradeDidNotReadSaysWhyInTheRecordAndTheReport) {
    Bench b;
    // Never identified, and the upgrade failed: neither version was read.
    const qint64 failed = b.run(TestId::FirmwareUpgrade, RunOutcome::Error, Net("4003"));
    EXPECT_EQ(b.store.queries().run(failed)->details.value("versionBeforeNotRead").toString(), "no-identify-before");
    EXPECT_EQ(b.store.queries().run(failed)->details.value("versionAfterNotRead").toString(), "upgrade-failed");
    // An upgrade that went well waits for the next identify; one that found no controller says so.
    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-9", "KV410 V3.20"));
    const qint64 upgrade = b.run(TestId::FirmwareUpgrade, RunOutcome::Ok);
    EXPECT_EQ(b.store.queries().run(upgrade)->details.value("versionAfterNotRead").toString(), "no-identify");
    b.run(TestId::Connect, RunOutcome::Error);
    EXPECT_EQ(b.store.queries().run(upgrade)->details.value("versionAfterNotRead").toString(), "identify-failed");
    const qint64 unit = b.store.queries().run(upgrade)->unitId;
    EXPECT_TRUE(pb::records::UnitReportHtml(b.store, unit, 0)
                    .contains(QStringLiteral("<td>not read: the connect after the upgrade failed</td>")));
    EXPECT_TRUE(pb::records::UnitReportHtml(b.store, unit, 1).contains(QStringLiteral("<td>未读取: 更新后连线装置失败</td>")));
    // Read at last: the version, and no reason left.
    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-9", "KV410 V3.30"));
    EXPECT_EQ(b.store.queries().run(upgrade)->details.value("versionAfter").toString(), "KV410 V3.30");
    EXPECT_FALSE(b.store.queries().run(upgrade)->details.contains("versionAfterNotRead"));
    EXPECT_FALSE(pb::records::UnitReportHtml(b.store, unit, 0).contains(QStringLiteral("connect after the upgrade")));
}

TEST(RecordsObserver, TheRunKeepsItsFramesWithTheDecodersVerdict) {
    Bench b;
    // Frames outside a run go nowhere.
    b.observer.takeTraffic(Record(TrafficRecord::Direction::Sent, BuildCrcFrame("0123AC"), 1));
    b.observer.runStarted(RunStart{TestId::Connect, b.clockMs, Net()});
    const qint64 id = b.observer.currentRunId();
    b.observer.takeTraffic(Record(TrafficRecord::Direction::Sent, BuildCrcFrame("0123AC"), 10));
    TrafficRecord reply = Record(TrafficRecord::Direction::Received, pbtest::CrcReplyFrame("0123AC01"), 35);
    reply.replyMs = 25;
    b.observer.takeTraffic(reply);
    QByteArray spoilt = pbtest::CrcReplyFrame("0123AS77");
    spoilt[spoilt.size() - 2] = spoilt[spoilt.size() - 2] == '0' ? '1' : '0';
    b.observer.takeTraffic(Record(TrafficRecord::Direction::Received, spoilt, 60));
    TrafficRecord failed = Record(TrafficRecord::Direction::Failed, {}, 1300);
    failed.note = QStringLiteral("no complete reply within 1200 ms");
    failed.error = LinkError::NoReply;
    b.observer.takeTraffic(failed);
    b.observer.runEnded(RunReport{TestId::Connect, b.clockMs, b.clockMs + 2000,
                                  RunOutcome::Error, QStringLiteral("Command error!"), Net(), {}});
    b.observer.takeTraffic(Record(TrafficRecord::Direction::Sent, BuildCrcFrame("0123AD"), 1));

    const auto kept = b.store.queries().traffic(id);
    ASSERT_EQ(kept.frames.size(), 4);
    EXPECT_EQ(kept.frames[0].direction, pb::records::Direction::Sent);
    EXPECT_EQ(kept.frames[0].bytes, BuildCrcFrame("0123AC"));
    EXPECT_EQ(kept.frames[0].ms, b.clockMs + 10);
    EXPECT_EQ(kept.frames[0].verdict, "good");
    EXPECT_EQ(kept.frames[1].verdict, "good");
    EXPECT_EQ(kept.frames[1].note, "25 ms");
    EXPECT_EQ(kept.frames[2].verdict, "bad");
    EXPECT_EQ(kept.frames[3].direction, pb::records::Direction::Failed);
    EXPECT_EQ(kept.frames[3].verdict, "no-reply");
    EXPECT_EQ(kept.frames[3].note, "no complete reply within 1200 ms");
    EXPECT_EQ(b.store.queries().run(id)->frameCount, 4);
}

TEST(RecordsObserver, WithTheStoreOffRunsPassAndTheReasonComesOnce) {
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    RecordStore store;
    EXPECT_FALSE(store.openSqlite(dir.filePath(QStringLiteral("plain/sub/records.sqlite"))).ok());
    RunRecordsObserver observer(store);
    observer.runStarted(RunStart{TestId::Dido, 1, Net()});
    EXPECT_EQ(observer.currentRunId(), 0);
    observer.takeTraffic(Record(TrafficRecord::Direction::Sent, BuildCrcFrame("0123AC"), 1));
    observer.runEnded(RunReport{TestId::Dido, 1, 2, RunOutcome::Ok, {}, Net(), {}});
    const auto problem = observer.takeNewProblem();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->error, pb::records::RecordsError::FolderNotWritable);
    EXPECT_FALSE(observer.takeNewProblem());
}

TEST(RecordsObserver, ProcedureNamesAreTheTestRunFramesNames) {
    // One list: the records window's procedure filter names every test the frame reports.
    for (int t = 0; t <= int(TestId::FirmwareUpgrade); ++t)
        EXPECT_NE(pb::ProcedureName(TestName(TestId(t)), 0), TestName(TestId(t))) << t;
}

// A connect that found no controller is the link's: not filed under the unit identified
// before it, nor is what follows it on that link.
TEST(RecordsObserver, AFailedConnectBelongsToTheLinkNotToThePreviousUnit) {
    Bench b;
    b.run(TestId::Connect, RunOutcome::Ok, Net(), {}, Kv("SN-0042", "KV410 V3.20"));
    const qint64 refused = b.run(TestId::Connect, RunOutcome::OpenFailed);
    const qint64 after = b.run(TestId::Dido, RunOutcome::Error);
    const auto refusedRow = b.store.queries().run(refused), afterRow = b.store.queries().run(after);
    ASSERT_TRUE(refusedRow && afterRow);
    EXPECT_EQ(refusedRow->unitSerial, "");
    EXPECT_EQ(refusedRow->linkText, "127.0.0.1:4001");
    EXPECT_EQ(afterRow->unitSerial, "");
    EXPECT_EQ(b.store.queries().units(QStringLiteral("SN-0042")).value(0).runCount, 1);
}
