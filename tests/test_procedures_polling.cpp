// The polling data test against the simulated controller over TCP and a pty, and against
// scripted controllers that answer wrongly: records in order, cancel, an empty store, a
// controller that falls silent, and the window given back each time.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>

#include "i18n/Messages.h"
#include "procedures/EventRecord.h"
#include "procedures/PollingTest.h"
#include "tests/support/ProcedureHarness.h"
#include "tests/support/SimHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

QString dateOf(const sim::Event& e) {
    return e.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// What must hold after every run, however it ended.
template <typename Harness>
void expectWindowGivenBack(const Harness& h) {
    EXPECT_FALSE(h.state.pollingRunning);
    EXPECT_FALSE(h.view.testRunning());
    EXPECT_EQ(h.view.log.first(), "started polling");
    EXPECT_EQ(h.view.log.last(), "ended polling");
    EXPECT_TRUE(h.view.windowEnabled);
    EXPECT_FALSE(h.view.busy);
    EXPECT_FALSE(h.link.isOpen());
}

class PollingOnSim : public ::testing::TestWithParam<Wire> {};

}  // namespace

TEST_P(PollingOnSim, ShowsEveryRecordOldestFirstThenEndsOk) {
    SimHarness h(sim::Model::Kv410, QString(), GetParam());
    h.controller.setInput(5, true);  // a sixth record, after the five seeded ones
    const QList<sim::Event> stored = h.controller.events().events();
    ASSERT_EQ(stored.size(), 6);

    QList<bool> heardRunning;
    h.view.onProcessEvents = [&] {
        if (h.state.pollingRunning) heardRunning.append(h.view.testRunning());
    };
    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);

    QStringList expected{"0000IE", "0000IB"};
    for (int i = 0; i < stored.size(); ++i) expected << "0000QI" << "0000PI";
    EXPECT_EQ(h.controller.commands(), expected);

    // First the controller's clock, then each record's stamp and words.
    ASSERT_EQ(h.view.pollingDates.size(), 7);
    EXPECT_TRUE(QDateTime::fromString(h.view.pollingDates[0], "yyyy/MM/dd HH:mm:ss").isValid());
    for (int i = 0; i < stored.size(); ++i) EXPECT_EQ(h.view.pollingDates[i + 1], dateOf(stored[i]));
    EXPECT_EQ(h.view.pollingDataShown,
              QStringList({"", "#1 Power up", "#2 Granted, door 1, card 0001234567",
                           "#3 Denied, door 2, card 0009876543", "#4 Input on, input 3",
                           "#5 Input off, input 3", "#6 Input on, input 5"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>(5, kPollingRecordPauseMs));  // none after the last

    EXPECT_FALSE(heardRunning.isEmpty());
    EXPECT_EQ(heardRunning.count(true), heardRunning.size());
    EXPECT_EQ(h.view.statuses,
              QStringList({"Connecting device ...", "Pooling data test", "Command ok."}));
    EXPECT_EQ(h.view.lastBeepHz(), kHighBeepHz);
    expectWindowGivenBack(h);
    ASSERT_EQ(h.runs.reports.size(), 1);
    EXPECT_EQ(pb::TestName(h.runs.last().test), "polling");
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Ok);  // read to its end
    EXPECT_EQ(h.runs.last().detail.value("records").toInt(), 6);

    // Reading deletes nothing: a second run shows the same records again.
    h.view.pollingDataShown.clear();
    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.view.pollingDataShown.size(), 7);
    EXPECT_EQ(h.view.pollingDataShown.last(), "#6 Input on, input 5");
}

TEST_P(PollingOnSim, TheOlderControllerIsReadThroughItsThreeDigitId) {
    SimHarness h(sim::Model::Old28, "123", GetParam());
    h.state.deviceId = "123";
    h.state.modelKind = kModelKindStatusIdentified;
    h.controller.setInput(1, true);  // "IE" still carries the status the DI/DO test reads

    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.controller.commands().mid(0, 4), QStringList({"123IE", "123IB", "123QI", "123PI"}));
    EXPECT_EQ(h.view.pollingDataShown.size(), 7);
    EXPECT_EQ(h.view.pollingDataShown.last(), "#6 Input on, input 1");
    expectWindowGivenBack(h);
}

TEST_P(PollingOnSim, ASecondClickStopsAfterTheRecordInHand) {
    SimHarness h(sim::Model::V6, QString(), GetParam());
    h.view.onProcessEvents = [&] {
        // The user clicks while the third record is on show.
        if (h.state.pollingRunning && h.view.pollingDataShown.size() == 4) {
            EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);
        }
    };
    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);

    EXPECT_EQ(h.view.pollingDataShown.size(), 4);
    EXPECT_EQ(h.view.pollingData, "#3 Denied, door 2, card 0009876543");
    EXPECT_EQ(h.controller.commands().count("0000QI"), 3);
    EXPECT_EQ(h.controller.commands().count("0000PI"), 3);  // the record in hand is passed
    EXPECT_EQ(h.view.statuses.last(), "Command ok.");
    // Shown as a good end; recorded as stopped before the store's end.
    ASSERT_EQ(h.runs.reports.size(), 1);
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Interrupted);
    EXPECT_EQ(h.runs.last().detail.value("records").toInt(), 3);
    expectWindowGivenBack(h);
}

TEST_P(PollingOnSim, AnEmptyStoreIsSaidSoInTheCurrentLanguage) {
    SimHarness h(sim::Model::Kv410, QString(), GetParam());
    h.controller.events().clear();
    h.view.shownLanguage = pb::Language::TraditionalChinese;

    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.controller.commands(), QStringList({"0000IE", "0000IB"}));
    EXPECT_EQ(h.view.pollingData, QString::fromUtf8("沒有儲存的記錄"));
    EXPECT_EQ(h.view.pollingDates.size(), 1);  // the controller's clock stays on show
    EXPECT_EQ(h.view.statuses.last(), QString::fromUtf8("指令完成."));
    expectWindowGivenBack(h);
}

TEST_P(PollingOnSim, AControllerFallingSilentMidwayEndsInErrorWithinTheReplyLimit) {
    SimHarness h(sim::Model::Kv410, QString(), GetParam());
    h.view.onProcessEvents = [&] {
        if (h.view.pollingDataShown.size() == 3) h.controller.faults().silentPrefixes = {""};
    };
    QList<LinkError> failures;
    QObject::connect(&h.link, &Link::traffic, [&](const TrafficRecord& r) {
        if (r.direction == TrafficRecord::Direction::Failed) failures.append(r.error);
    });
    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Error);
    // The first unanswered command ends the test: one reply limit, no retries.
    EXPECT_EQ(failures, QList<LinkError>({LinkError::NoReply}));

    EXPECT_EQ(h.view.pollingData, "#2 Granted, door 1, card 0001234567");  // last one kept
    EXPECT_TRUE(QRegularExpression("^Command error! no reply to (QI|PI)$").match(h.view.statuses.last()).hasMatch())
        << h.view.statuses.last().toStdString();
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), kLowBeepHz);
    expectWindowGivenBack(h);
}

INSTANTIATE_TEST_SUITE_P(Wires, PollingOnSim, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

TEST(PollingTest, RepliesThatAreNotTheStoresAreErrorsNotEmptyStores) {
    // Each controller answers "IE" properly, then goes wrong in its own way.
    const QByteArray ie = "0000IE20261208101500" + QByteArray("000500050200");
    const QByteArray record = "000001" "20261208101500" "01" "1" "0001234567";
    const struct {
        const char* what;
        std::function<QByteArray(const QString&)> answer;
        int recordsShown;
        const char* status;
    } cases[] = {
        {"echoes commands it does not know",
         [](const QString& t) { return CrcReplyFrame(t.toLatin1()); }, 0,
         "Command error! the reply to IE is 13 bytes, not a reply it has"},
        {"answers IB with another mnemonic",
         [&](const QString& t) {
             return t == "0000IE" ? CrcReplyFrame(ie) : CrcReplyFrame("0000XX0005");
         },
         0, "Command error! the reply to IB is 17 bytes, not a reply it has"},
        {"sends a record with a letter in it",
         [&](const QString& t) -> QByteArray {
             if (t == "0000IE") return CrcReplyFrame(ie);
             if (t == "0000IB") return CrcReplyFrame("0000IB0005");
             QByteArray bad = record;
             bad[10] = 'A';
             return CrcReplyFrame("0000QI" + bad);
         },
         0, "Command error! a record could not be read"},
        {"spoils the checksum of PI",
         [&](const QString& t) -> QByteArray {
             if (t == "0000IE") return CrcReplyFrame(ie);
             if (t == "0000IB") return CrcReplyFrame("0000IB0005");
             if (t == "0000QI") return CrcReplyFrame("0000QI" + record);
             return BadChecksumReplyOfLength(17, "0000PI");
         },
         1, "Command error! the reply to PI failed its checksum"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProcedureHarness h;
        h.answer(c.answer);
        EXPECT_EQ(PollingTestClick(h.ctx), Outcome::Error);
        EXPECT_EQ(h.view.pollingDataShown.filter(QRegularExpression("^#")).size(), c.recordsShown);
        EXPECT_FALSE(h.view.pollingDataShown.contains("No records stored"));
        EXPECT_EQ(h.view.statuses.last(), c.status);
        expectWindowGivenBack(h);
    }
}

TEST(PollingTest, NoLinkRestoresTheWindowWithoutSendingAnything) {
    ProcedureHarness h;
    h.view.settings.tcpPort = "1";  // nothing listens there
    EXPECT_EQ(PollingTestClick(h.ctx), Outcome::OpenFailed);
    EXPECT_TRUE(h.texts().isEmpty());
    EXPECT_TRUE(h.view.statuses.last().startsWith("Connect device error!")) << h.view.statuses.last().toStdString();
    expectWindowGivenBack(h);
}

TEST(EventRecord, ParsesOnlyWholeDigitRecordsAndShowsStampsAsSent) {
    const std::optional<EventRecord> r = ParseEventRecord("000042" "20261399256161" "05" "3" "0000000000");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sequence, 42);
    EXPECT_EQ(r->kind, 5);
    EXPECT_EQ(r->point, 3);
    // A stamp no calendar has is shown as it came, not dropped.
    EXPECT_EQ(RecordDateText(*r), "2026/13/99 25:61:61");
    EXPECT_EQ(DescribeRecord(*r, pb::Language::English), "#42 Alarm, level 3");
    EXPECT_EQ(DescribeRecord(*r, pb::Language::SimplifiedChinese), QString::fromUtf8("#42 警报，级别 3"));

    EXPECT_FALSE(ParseEventRecord("00004220261208101500053000000000"));    // one short
    EXPECT_FALSE(ParseEventRecord("0000422026120810150005300000000001"));  // one long
    EXPECT_FALSE(ParseEventRecord("00004220261208101500053000000000 "));
    EXPECT_FALSE(ParseEventRecord(QByteArray("000042202612081015000530000000\0000", 33)));
}

TEST(EventRecord, KindsInEachLanguageAndUnknownKindsShownWhole) {
    const auto describe = [](const char* text, int language) {
        return DescribeRecord(*ParseEventRecord(text), pb::LanguageAt(language));
    };
    EXPECT_EQ(describe("000007" "20260101000000" "02" "4" "0000012345", 2),
              QString::fromUtf8("#7 刷卡拒絕，門 4，卡號 0000012345"));
    EXPECT_EQ(describe("000008" "20260101000000" "04" "8" "0000000000", 1),
              QString::fromUtf8("#8 输入断开，输入 8"));
    EXPECT_EQ(describe("999999" "20260101000000" "06" "0" "0000000000", 0), "#999999 Power up");
    EXPECT_EQ(describe("000009" "20260101000000" "17" "2" "0000000077", 0),
              "#9 Event 17, 2, card 0000000077");
    // An out-of-range language falls back to English rather than reading past the table.
    EXPECT_EQ(describe("000010" "20260101000000" "03" "1" "0000000000", 7), "#10 Input on, input 1");
}
