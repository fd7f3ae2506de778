// Connect and identify against a scripted controller on 127.0.0.1: the queries sent,
// what the window shows and how each run ends.
#include <gtest/gtest.h>

#include <QTcpServer>

#include "i18n/Messages.h"
#include "procedures/ConnectAndIdentify.h"
#include "tests/support/ProcedureHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

// "DB" payload: 6 characters, the model at positions 8-15, the version at 16-23.
QByteArray dbReply(const QByteArray& model8, const QByteArray& version8) {
    return CrcReplyFrame("0123DB" + model8 + version8);
}

// A controller "0123" that answers "AC" (length 17), "DB" as given and "AS" (length 21).
ProcedureHarness::Answer standardController(QByteArray db) {
    return [db](const QString& text) -> QByteArray {
        if (text == "0123AC") return ReplyOfLength(17, "0123");
        if (text == "0123DB") return db;
        if (text == "0123AS") return CrcReplyFrame("0123AS" + QByteArray("SN004711"));
        return {};
    };
}

QString connecting(int countdown) {
    return Msg(MsgId::ConnectingDevice, pb::Language::English) + QStringLiteral(" ( %1 )").arg(countdown);
}

}  // namespace

TEST(ConnectAndIdentify, StandardControllerIsIdentifiedByItsVersionCode) {
    ProcedureHarness h;
    h.view.id = "0123";
    h.view.kind4Layout = true;  // left over from an older controller
    h.answer(standardController(dbReply("KV300AB ", "V4010203")));

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Ok);

    EXPECT_EQ(h.texts(), QStringList({"0123AC", "0123DB", "0123AS"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>({100, 100, 100}));
    EXPECT_EQ(h.state.deviceId, "0123");
    EXPECT_EQ(h.state.modelKind, 2);
    EXPECT_EQ(h.view.idPosition, 123);
    EXPECT_FALSE(h.view.kind4Layout);
    EXPECT_EQ(h.view.version, "KV300AB -V4010203");
    EXPECT_EQ(h.view.serialNumber, "S/N:SN004711   ID:0123");
    EXPECT_EQ(h.view.linkSettingsSaves, 1);
    // The run's report carries the controller found; the observer hears of it once.
    ASSERT_EQ(h.runs.reports.size(), 1);
    const RunReport& run = h.runs.last();
    EXPECT_EQ(pb::TestName(run.test), "connect");
    EXPECT_EQ(run.outcome, RunOutcome::Ok);
    EXPECT_EQ(run.link.tcpPort, h.view.settings.tcpPort);
    const QJsonObject controller = run.detail.value("controller").toObject();
    EXPECT_EQ(controller.value("deviceId").toString(), "0123");
    EXPECT_EQ(controller.value("modelKind").toInt(), 2);
    EXPECT_EQ(controller.value("versionText").toString(), "KV300AB -V4010203");
    EXPECT_EQ(controller.value("serialNumber").toString(), "SN004711");
    ASSERT_EQ(h.runs.identities.size(), 1);
    EXPECT_EQ(h.runs.identities[0].serialNumber, "SN004711");
    EXPECT_EQ(h.view.status(), "Command ok.");
    EXPECT_EQ(h.view.lamp(), LampColour::Yellow);
    EXPECT_EQ(h.view.lastBeepHz(), 1000);
    EXPECT_FALSE(h.link.isOpen());
}

TEST(ConnectAndIdentify, UnknownVersionCodeEndsInCommandError) {
    ProcedureHarness h;
    h.view.id = "0123";
    h.answer(standardController(dbReply("KV300AB ", "X9010203")));

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Error);
    EXPECT_EQ(h.texts(), QStringList({"0123AC", "0123DB"}));  // no serial number step
    EXPECT_EQ(h.state.modelKind, 0);
    EXPECT_EQ(h.state.deviceId, "0123");  // the ID found stays
    EXPECT_EQ(h.view.version, "KV300AB -X9010203");
    EXPECT_EQ(h.view.serialNumber, "");
    EXPECT_EQ(h.view.status(), "Command error! the controller's model is unknown");
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), 300);
    // Not identified: the run is an error and names no controller.
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Error);
    EXPECT_FALSE(h.runs.last().detail.contains("controller"));
    EXPECT_TRUE(h.runs.identities.isEmpty());
}

TEST(ConnectAndIdentify, VersionReplyOfWrongLengthOrChecksumIsCommandError) {
    for (const QByteArray& db :
         {ReplyOfLength(28, "0123DB"), BadChecksumReplyOfLength(29, "0123DBKV300AB V4")}) {
        ProcedureHarness h;
        h.view.id = "0123";
        h.answer(standardController(db));
        EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Error);
        EXPECT_EQ(h.view.version, "");
        EXPECT_EQ(h.view.status(), db.size() == 28 ? "Command error! the reply to DB is 28 bytes, not a reply it has"
                                                   : "Command error! the reply to DB failed its checksum");
    }
}

TEST(ConnectAndIdentify, OlderControllerAnswersOnlyTheStatusQuery) {
    ProcedureHarness h;
    h.view.id = "0456";
    h.answer([](const QString& text) -> QByteArray {
        if (text == "0456AC") return ReplyOfLength(16, "0456");  // another length: no answer
        if (text == "045AS") return CrcReplyFrame("045AS" + QByteArray("SN777777"));
        if (text == "045AV") return CrcReplyFrame("045AV" + QByteArray("VER 2.13 2009-01"));
        return {};
    });

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Ok);

    EXPECT_EQ(h.texts(), QStringList({"0456AC", "0456AC", "0456AC", "045AS", "045AV", "045AS"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>({100, 100, 100, 100, 100, 100}));
    EXPECT_EQ(h.state.deviceId, "045");
    EXPECT_EQ(h.state.modelKind, 4);
    EXPECT_EQ(h.view.idPosition, 45);
    EXPECT_EQ(h.view.id, "0045");
    EXPECT_TRUE(h.view.kind4Layout);
    EXPECT_EQ(h.view.version, "VER 2.13 2009-01");
    EXPECT_EQ(h.view.serialNumber, "S/N:SN777777   ID:045");
    EXPECT_TRUE(h.view.statuses.contains(connecting(6)));
    EXPECT_TRUE(h.view.statuses.contains(connecting(4)));
    EXPECT_FALSE(h.view.statuses.contains(connecting(3)));
    EXPECT_EQ(h.view.status(), "Command ok.");
}

TEST(ConnectAndIdentify, OlderControllerShortVersionReply) {
    ProcedureHarness h;
    h.view.id = "0456";
    h.answer([](const QString& text) -> QByteArray {
        if (text == "045AS") return CrcReplyFrame("045AS" + QByteArray("SN777777"));
        if (text == "045AV") return CrcReplyFrame("045AV" + QByteArray("V2.13-09"));
        return ReplyOfLength(14);  // "AC" answered with a wrong length
    });
    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.view.version, "KV150RB V2.13-09");
}

TEST(ConnectAndIdentify, NobodyAnsweringCountsDownAndReportsConnectError) {
    ProcedureHarness h;
    h.answer([](const QString&) { return ReplyOfLength(13); });  // every reply of a wrong length

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::OpenFailed);

    EXPECT_EQ(h.texts(), QStringList({"0000AC", "0000AC", "0000AC", "000AS", "000AS", "000AS"}));
    QStringList countdown;
    for (const QString& s : h.view.statuses)
        if (s.contains(" ( ")) countdown.append(s);
    EXPECT_EQ(countdown, QStringList({connecting(6), connecting(5), connecting(4), connecting(3),
                                      connecting(2), connecting(1)}));
    EXPECT_TRUE(h.view.status().startsWith("Connect device error!")) << h.view.status().toStdString();
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), 300);
    EXPECT_EQ(h.view.linkSettingsSaves, 0);
    EXPECT_EQ(h.view.version, "");  // nothing of an earlier unit stays on show
    EXPECT_FALSE(h.link.isOpen());
    EXPECT_FALSE(h.view.busy);
}

TEST(ConnectAndIdentify, BadChecksumOnTheIdReplyIsRetried) {
    ProcedureHarness h;
    h.view.id = "0123";
    int acCount = 0;
    h.answer([&](const QString& text) -> QByteArray {
        if (text == "0123AC")
            return ++acCount == 1 ? BadChecksumReplyOfLength(15, "0123")
                                  : ReplyOfLength(15, "0123");
        return standardController(dbReply("KV300AB ", "V3010203"))(text);
    });
    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"0123AC", "0123AC", "0123DB", "0123AS"}));
    EXPECT_EQ(h.state.modelKind, 1);
}

TEST(ConnectAndIdentify, ClosedPortFailsToOpenWithoutSaving) {
    ProcedureHarness h;
    QTcpServer probe;  // a port that was free a moment ago and is closed now
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    h.view.settings.tcpPort = QString::number(probe.serverPort());
    probe.close();

    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::OpenFailed);
    EXPECT_TRUE(h.view.status().startsWith("Connect device error!")) << h.view.status().toStdString();
    EXPECT_EQ(h.view.statuses.first(), "Connecting device ...");
    EXPECT_EQ(h.view.linkSettingsSaves, 0);
    EXPECT_TRUE(h.clock.pauses().isEmpty());
}
