// The DI/DO test against a scripted controller: both variants, the exact commands and
// pauses, the input lamps, the cancel by a second click and the restored window.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "i18n/Messages.h"
#include "procedures/DidoTest.h"
#include "tests/support/ProcedureHarness.h"

using namespace pb;
using namespace pbtest;

namespace {

// Clicks the button again (re-entering the procedure, as the window's event loop does)
// while the controller answers its `cycles`-th input query: that cycle is the last.
ProcedureHarness::Answer cancellingOnQuery(ProcedureHarness& h, const QString& inputQuery,
                                           int cycles, ProcedureHarness::Answer answer) {
    return [&h, inputQuery, cycles, answer, count = 0](const QString& text) mutable {
        if (text == inputQuery && ++count == cycles) {
            EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
        }
        return answer(text);
    };
}

}  // namespace

TEST(DidoTest, StandardVariantPulsesTickedOutputsAndShowsEightInputs) {
    ProcedureHarness h;
    h.view.outputs[1] = true;
    h.view.outputs[3] = true;
    h.answer([](const QString& text) -> QByteArray {
        if (text == "0000DG0") return CrcReplyFrame("0000DG" + QByteArray("10100001") + "00000000");
        return ReplyOfLength(12);
    });
    std::array<InputLamp, 9> lampsWhileRunning{};
    bool runningAsTheWindowHeard = false;
    h.view.onProcessEvents = [&] {
        if (h.state.didoRunning && h.texts().count("0000DG0") >= 2) {
            lampsWhileRunning = h.view.inputLamps;
            runningAsTheWindowHeard = h.view.testRunning();
            EXPECT_TRUE(h.view.windowEnabled);
            EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);  // the second click
        }
    };

    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);

    const QString jc1 = "0000JC00110002", jc3 = "0000JC00310002";
    // The click came at the start of the third cycle, which still runs to its end.
    EXPECT_EQ(h.texts(), QStringList({jc1, jc3, "0000DG0", jc1, jc3, "0000DG0", jc1, jc3, "0000DG0",
                                      "0000JD"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>(9, 20));  // none before "JD"
    const auto Y = InputLamp::Yellow, W = InputLamp::White;
    EXPECT_EQ(lampsWhileRunning, (std::array<InputLamp, 9>{W, Y, W, Y, W, W, W, W, Y}));
    EXPECT_TRUE(runningAsTheWindowHeard);

    // Afterwards: lamps white, boxes unticked, everything given back.
    EXPECT_TRUE(h.view.allInputsWhite());
    EXPECT_EQ(h.view.outputs, (std::array<bool, 5>{}));
    EXPECT_FALSE(h.state.didoRunning);
    EXPECT_FALSE(h.view.testRunning());
    EXPECT_EQ(h.view.statuses, QStringList({"Connecting device ...", "DIDO test", "Command ok."}));
    EXPECT_EQ(h.view.lamp(), LampColour::Yellow);
    EXPECT_EQ(h.view.lastBeepHz(), 1000);
    EXPECT_FALSE(h.link.isOpen());
    EXPECT_EQ(h.view.log, QStringList({"started dido", "window on", "ended dido"}));
    // The run as a record keeps it: the cycles run, watched by the user, who stopped it.
    ASSERT_EQ(h.runs.reports.size(), 1);
    EXPECT_EQ(pb::TestName(h.runs.last().test), "dido");
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Watched);
    EXPECT_EQ(h.runs.last().statusText, "Command ok.");
    EXPECT_EQ(h.runs.last().detail.value("cycles").toInt(), 3);
    EXPECT_EQ(h.runs.last().link.tcpPort, h.view.settings.tcpPort);
}

TEST(DidoTest, StandardVariantWithNoBoxTickedOnlyAsksInputs) {
    ProcedureHarness h;
    h.answer(cancellingOnQuery(h, "0000DG0", 3, [](const QString&) { return ReplyOfLength(29); }));
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.texts(), QStringList({"0000DG0", "0000DG0", "0000DG0", "0000JD"}));
    EXPECT_EQ(h.clock.pauses(), QList<int>({20, 20, 20}));
}

TEST(DidoTest, SilentControllerLeavesLampsAndTheLoopGoesOn) {
    ProcedureHarness h;
    int inputQueries = 0;
    h.answer([&](const QString& text) -> QByteArray {
        if (text == "0000DG0" && ++inputQueries == 1)
            return CrcReplyFrame("0000DG" + QByteArray("11111111") + "00000000");
        if (text == "0000DG0" && inputQueries == 2) return ReplyOfLength(28);  // wrong length
        return {};  // silent from then on
    });
    std::array<InputLamp, 9> lampsWhileRunning{};
    h.view.onProcessEvents = [&] {
        if (h.state.didoRunning && h.texts().count("0000DG0") >= 3) {
            lampsWhileRunning = h.view.inputLamps;
            DidoTestClick(h.ctx);
        }
    };

    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);

    EXPECT_EQ(h.texts(), QStringList({"0000DG0", "0000DG0", "0000DG0", "0000DG0", "0000JD"}));
    for (size_t k = 1; k <= 8; ++k) EXPECT_EQ(lampsWhileRunning[k], InputLamp::Yellow) << k;
    EXPECT_TRUE(h.view.allInputsWhite());
    EXPECT_EQ(h.view.status(), "Command ok.");  // never reported as a failure
    EXPECT_FALSE(h.link.isOpen());
    // The record tells what the lamps showed: one read of four answered, and its inputs.
    ASSERT_EQ(h.runs.reports.size(), 1);
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::Watched);
    EXPECT_EQ(h.runs.last().detail.value("cycles").toInt(), 4);
    EXPECT_EQ(h.runs.last().detail.value("inputReadsAnswered").toInt(-1), 1);
    EXPECT_EQ(h.runs.last().detail.value("inputStates").toArray(), QJsonArray({"11111111"}));
}

TEST(DidoTest, LinkThatDoesNotOpenRestoresTheWindow) {
    ProcedureHarness h;
    h.view.settings.tcpPort = "0";
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::OpenFailed);
    EXPECT_TRUE(h.peer.received().isEmpty());
    EXPECT_FALSE(h.state.didoRunning);
    EXPECT_TRUE(h.view.status().startsWith("Connect device error!")) << h.view.status().toStdString();
    EXPECT_EQ(h.view.log, QStringList({"started dido", "ended dido"}));
    ASSERT_EQ(h.runs.reports.size(), 1);
    EXPECT_EQ(h.runs.last().outcome, RunOutcome::OpenFailed);
    // The run names why the link would not open, and counts no cycles.
    EXPECT_EQ(h.runs.last().detail.value("openError").toString(), "BadPort");
    EXPECT_FALSE(h.runs.last().detail.contains("cycles"));
}

TEST(DidoTest, LanguageChangedWhileRunningEndsInTheNewLanguage) {
    ProcedureHarness h;
    h.answer([](const QString&) { return ReplyOfLength(29); });
    h.view.onProcessEvents = [&] {
        if (h.state.didoRunning && h.texts().count("0000DG0") >= 1) {
            h.view.shownLanguage = pb::Language::TraditionalChinese;
            DidoTestClick(h.ctx);
        }
    };
    EXPECT_EQ(DidoTestClick(h.ctx), Outcome::Ok);
    EXPECT_EQ(h.view.status(), Msg(MsgId::CommandOk, pb::Language::TraditionalChinese));
}
