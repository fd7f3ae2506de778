// Every procedure against the simulated controller, for every model it can play, over
// TCP on 127.0.0.1 and over a pseudo-terminal: the exact frames the controller received,
// what the window showed and the pauses taken.
#include <gtest/gtest.h>

#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/SystemCommands.h"
#include "tests/support/SimHarness.h"

using namespace pb;
using namespace pbtest;
using sim::Model;

namespace {

struct Expected {
    Model model;
    const char* name;
    int kind;
    Outcome identify;
    QString version;
};

const QList<Expected> kModels = {
    {Model::Kv410, "kv410", 7, Outcome::Ok, "KV410 ACCESS  0470"},
    {Model::V6, "v6", 6, Outcome::Ok, "KV740MX -V6.01.03"},
    {Model::R6, "r6", 6, Outcome::Ok, "KV740MX -R6.01.03"},
    {Model::V5, "v5", 3, Outcome::Ok, "KV320MX -V5.10.02"},
    {Model::R5, "r5", 3, Outcome::Ok, "KV320MX -R5.10.02"},
    {Model::V4, "v4", 2, Outcome::Ok, "KV350MX -V4.07.01"},
    {Model::R4, "r4", 2, Outcome::Ok, "KV350MX -R4.07.01"},
    {Model::V3, "v3", 1, Outcome::Ok, "KV300MX -V3.21.05"},
    {Model::R3, "r3", 1, Outcome::Ok, "KV300MX -R3.21.05"},
    {Model::V2, "v2", 5, Outcome::Ok, "KV200MX -V2.08.00"},
    {Model::Old20, "old20", 4, Outcome::Ok, "KV150RB V1.20.05"},
    {Model::Old28, "old28", 4, Outcome::Ok, "KV150RB V2.03.11"},
    {Model::Unknown, "unknown", 0, Outcome::Error, "KV990MX -X9.00.00"},
};

bool isOld(Model m) {
    return sim::hasThreeDigitId(m);
}

class Session : public ::testing::TestWithParam<std::tuple<Expected, Wire>> {};

// Clicks btnDIDO a second time while the controller is being asked for its inputs.
void cancelDidoOnInputQuery(SimHarness& h, const QString& query) {
    QObject::connect(
        &h.controller, &sim::Controller::logged, &h.controller,
        [&h, query](const sim::LogEntry& e) {
            if (e.dir == sim::LogEntry::Received && e.text == query && h.state.didoRunning)
                DidoTestClick(h.ctx);
        });
}

}  // namespace

TEST_P(Session, EveryProcedureAgainstTheSimulatedController) {
    const auto [m, wire] = GetParam();
    const bool old = isOld(m.model);
    const QString id = old ? "012" : "0123";
    SimHarness h(m.model, id, wire);
    ASSERT_TRUE(h.serving());
    h.view.id = "0123";
    h.controller.setInputs("10100001");

    // Connect and identify.
    EXPECT_EQ(ConnectAndIdentify(h.ctx), m.identify);
    QStringList sent = old ? QStringList{"0123AC", "0123AC", "0123AC", "012AS", "012AV", "012AS"}
                           : QStringList{"0123AC", "0123DB"};
    if (m.identify == Outcome::Ok && !old) sent << "0123AS";
    EXPECT_EQ(h.controller.commands(), sent);
    EXPECT_EQ(h.state.deviceId, id);
    EXPECT_EQ(h.state.modelKind, m.kind);
    EXPECT_EQ(h.view.version, m.version);
    EXPECT_EQ(h.view.serialNumber, m.identify == Outcome::Ok
                                       ? "S/N:" + QString::fromLatin1(sim::defaultSerial(m.model, id)) + "   ID:" + id
                                       : "");
    EXPECT_EQ(h.view.kind4Layout, old);
    EXPECT_EQ(h.view.status(), m.identify == Outcome::Ok ? "Command ok." : "Command error! the controller's model is unknown");
    EXPECT_EQ(h.view.lamp(), m.identify == Outcome::Ok ? LampColour::Yellow : LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), m.identify == Outcome::Ok ? 1000 : 300);
    EXPECT_EQ(h.view.linkSettingsSaves, 1);
    EXPECT_EQ(h.clock.pauses(), QList<int>(old ? 6 : (m.identify == Outcome::Ok ? 3 : 2), 100));

    // System commands.
    h.controller.clearCommands();
    h.clock.clear();
    h.clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(8, 5, 9)));
    EXPECT_EQ(SetDateTime(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.controller.clock().date(), QDate(2026, 12, 7));
    EXPECT_EQ(AlarmTest(h.ctx, 3), Outcome::Ok);
    EXPECT_EQ(h.controller.alarm(), 3);
    EXPECT_EQ(FactoryInitial(h.ctx), Outcome::Ok);
    EXPECT_EQ(Reboot(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.controller.factoryResets(), 1);
    EXPECT_EQ(h.controller.reboots(), 2);
    EXPECT_EQ(h.view.status(), "Command ok.");
    EXPECT_EQ(h.view.lamp(), LampColour::Yellow);
    EXPECT_EQ(h.view.lastBeepHz(), 1000);
    sent = QStringList{id + "AA20261207080509", id + "JF3"};
    sent << (old ? QStringList{id + "AI", id + "AS", id + "AJ", id + "AS"}
                 : QStringList{id + "AR01", id + "AR00"});
    EXPECT_EQ(h.controller.commands(), sent);
    EXPECT_EQ(h.clock.pauses(),
              old ? QList<int>({100, 100, 100, 16000, 100, 3500}) : QList<int>(4, 100));

    // DI/DO test, one cycle: the second click comes while the inputs are asked.
    h.controller.clearCommands();
    h.clock.clear();
    h.view.outputs = {false, true, false, true, false};
    cancelDidoOnInputQuery(h, old ? id + "DF" : id + "DG0");
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
    if (old) {
        EXPECT_EQ(h.controller.commands(), QStringList({id + "JD11", id + "JD20", id + "JD31",
                                                        id + "IE", id + "DF", id + "JE"}));
        EXPECT_EQ(h.clock.pauses(), QList<int>(6, 20));
        EXPECT_EQ(h.view.lampHistory.mid(0, 6), QStringList({"1Y", "2W", "3Y", "4W", "7W", "8Y"}));
    } else {
        EXPECT_EQ(h.controller.commands(),
                  QStringList({id + "JC00110002", id + "JC00310002", id + "DG0", id + "JD"}));
        EXPECT_EQ(h.clock.pauses(), QList<int>(3, 20));
        EXPECT_EQ(h.view.lampHistory.mid(0, 8),
                  QStringList({"1Y", "2W", "3Y", "4W", "5W", "6W", "7W", "8Y"}));
    }
    EXPECT_TRUE(h.view.allInputsWhite());
    EXPECT_EQ(h.view.outputs, (std::array<bool, 5>{}));
    EXPECT_EQ(h.view.status(), "Command ok.");
    EXPECT_EQ(pb::TestName(h.runs.last().test), "dido");
    EXPECT_EQ(h.runs.last().detail.value("cycles").toInt(), 1);

    // Consoles.
    h.controller.clearCommands();
    h.clock.clear();
    EXPECT_EQ(ControllerCommand(h.ctx, "AB"), Outcome::Ok);
    EXPECT_TRUE(h.view.controllerReply.startsWith("<ETX>" + id))
        << h.view.controllerReply.toStdString();
    EXPECT_TRUE(h.view.controllerReply.contains("<EOT>"));
    EXPECT_TRUE(h.view.controllerReply.endsWith("<CR>"));
    EXPECT_EQ(h.view.linkSettingsSaves, 2);
    EXPECT_EQ(ModuleCommand(h.ctx, 0, "1", "B"), Outcome::Ok);
    EXPECT_TRUE(h.view.moduleReply.contains("KVPA1")) << h.view.moduleReply.toStdString();
    EXPECT_EQ(h.view.linkSettingsSaves, 2);
    EXPECT_EQ(h.controller.commands(), QStringList({id + "AB", id + "DDA1B"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>(2, 100));
    EXPECT_FALSE(h.link.isOpen());

    // Every click was one run, reported once, under its stable name, each started and
    // ended on the clock the test set.
    QStringList runs;
    for (const RunReport& r : h.runs.reports) runs << pb::TestName(r.test) + ":" + RunOutcomeName(r.outcome);
    const QString identified = m.identify == Outcome::Ok ? "ok" : "error";
    EXPECT_EQ(runs,
              QStringList({"connect:" + identified, "set-date:ok", "alarm:ok", "factory-initial:ok",
                           "reboot:ok", "dido:watched", "controller-command:ok", "module-command:ok"}));
    EXPECT_EQ(h.runs.starts.size(), h.runs.reports.size());
    EXPECT_EQ(h.runs.last().startedMs,
              QDateTime(QDate(2026, 12, 7), QTime(8, 5, 9)).toMSecsSinceEpoch());
    EXPECT_EQ(h.runs.last().detail.value("command").toString(), id + "DDA1B");
}

INSTANTIATE_TEST_SUITE_P(AllModels, Session,
                         ::testing::Combine(::testing::ValuesIn(kModels),
                                            ::testing::Values(Wire::Tcp, Wire::Pty)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    WireName(std::get<1>(info.param));
                         });

TEST(SimFailures, ControllerThatAnswersTheIdButNotTheVersion) {
    SimHarness h(Model::V5, "0123", Wire::Pty);
    h.view.id = "0123";
    h.controller.faults().silentPrefixes = {"DB"};
    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::Error);
    EXPECT_EQ(h.controller.commands(), QStringList({"0123AC", "0123DB"}));
    EXPECT_EQ(h.view.status(), "Command error! no reply to DB");
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), 300);
    EXPECT_EQ(h.state.deviceId, "0123");
}

TEST(SimFailures, BadChecksumsAreNoAnswer) {
    SimHarness h(Model::V5, "0123", Wire::Pty);
    h.view.id = "0123";
    h.controller.faults().badChecksum = true;
    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::OpenFailed);
    EXPECT_EQ(h.controller.commands(),
              QStringList({"0123AC", "0123AC", "0123AC", "012AS", "012AS", "012AS"}));
    EXPECT_TRUE(h.view.status().startsWith("Connect device error!")) << h.view.status().toStdString();
    EXPECT_EQ(h.view.linkSettingsSaves, 0);

    h.state.deviceId = "0123";
    EXPECT_EQ(SetDateTime(h.ctx), Outcome::Error);
    EXPECT_EQ(ControllerCommand(h.ctx, "AB"), Outcome::Error);
    EXPECT_EQ(h.view.controllerReply, "");
    EXPECT_EQ(h.view.status(), "Command error! the reply to AB failed its checksum");
}

TEST(SimFailures, NoControllerBehindTheTcpPort) {
    SimHarness h(Model::V5, "0123", Wire::Tcp);
    h.tcp->close();
    EXPECT_EQ(ConnectAndIdentify(h.ctx), Outcome::OpenFailed);
    // The status line names the cause after the usual text.
    EXPECT_EQ(h.view.status(), "Connect device error! connection refused");
    EXPECT_EQ(h.view.lamp(), LampColour::Red);
    EXPECT_EQ(h.view.lastBeepHz(), 300);
    EXPECT_TRUE(h.controller.commands().isEmpty());
}

TEST(SimFailures, ControllerFallingSilentInTheDidoLoop) {
    SimHarness h(Model::V4, "0123", Wire::Pty);
    h.state.deviceId = "0123";
    h.controller.setInputs("11000000");
    int inputQueries = 0;
    QObject::connect(&h.controller, &sim::Controller::logged, &h.controller,
                     [&](const sim::LogEntry& e) {
                         if (e.dir != sim::LogEntry::Received || e.text != "0123DG0") return;
                         // Logged once its answer is on the way: silent from the second query on.
                         if (++inputQueries == 1) h.controller.faults().silentPrefixes = {""};
                         if (inputQueries == 4) DidoTestClick(h.ctx);
                     });
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.controller.commands(),
              QStringList({"0123DG0", "0123DG0", "0123DG0", "0123DG0", "0123JD"}));
    EXPECT_EQ(h.view.statuses.last(), "Command ok.");
    EXPECT_FALSE(h.state.didoRunning);
    EXPECT_FALSE(h.link.isOpen());
    // Painted once from the first answer, then left alone until the end paints them white.
    EXPECT_EQ(h.view.lampHistory, QStringList({"1Y", "2Y", "3W", "4W", "5W", "6W", "7W", "8W", "1W",
                                               "2W", "3W", "4W", "5W", "6W", "7W", "8W"}));
    EXPECT_TRUE(h.view.allInputsWhite());
}
