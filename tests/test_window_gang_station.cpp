// The station for a fixture driven as an operator drives it: serial numbers typed (as a
// barcode scanner types them) plus Enter into the one serial field, F5, F8, Esc and
// Backspace, against simulated controllers in this process over TCP and ptys; the
// tiles' states, the totals, the records of every unit with its fixture and socket.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/FitLabel.h"
#include "app/GangStationWindow.h"
#include "app/OutOfUseDialog.h"
#include "app/SocketTile.h"
#include "app/StationAlone.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "app/TfrmModuleUi.h"
#include "catalogue/StepNames.h"
#include "i18n/GangTexts.h"
#include "records/store/RecordStore.h"
#include "tests/support/GangRig.h"
#include "tests/support/QtPrinters.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using pbtest::GangRig;
using pbtest::SocketWire;
using State = SocketShown::State;

namespace {

struct Station {
    explicit Station(GangRig& rig, int language = 0) : window(rig.fixture, language, rig.records()) {
        window.runner().setPauseDivisor(10);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void scan(const QString& text) {
        QTest::keyClicks(window.serialField(), text);
        QTest::keyClick(window.serialField(), Qt::Key_Return);
    }
    void key(Qt::Key k) { QTest::keyClick(window.serialField(), k); }
    // Waits for the fixture's units to end.
    bool ended() {
        return QTest::qWaitFor([&] { return !window.running(); }, 120000);
    }
    QString state(int socket) const { return window.tile(socket)->stateLabel()->text(); }
    QString detail(int socket) const { return window.tile(socket)->detailLabel()->text(); }
    QStringList states() const {
        QStringList out;
        for (int i = 0; i < window.fixture().sockets.size(); ++i) out << state(i);
        return out;
    }
    GangStationWindow window;
};

QStringList KeptRuns(const GangRig& rig) {
    records::RecordStore store;
    if (!store.openSqlite(rig.recordsPath()).ok()) return {"no records"};
    QStringList kept;
    for (const records::RecipeRunRow& run : store.queries().recipeRuns({}))
        kept << run.fixture + ' ' + run.socket + ' ' + run.scannedSerial + ' ' + run.verdict;
    kept.sort();
    return kept;
}

}  // namespace

TEST(GangStation, ScansFillTheSocketsInOrderTheRunStartsWhenFullAndTheNextScansStartTheNext) {
    GangRig rig({SocketWire::Tcp, SocketWire::Pty, SocketWire::Tcp, SocketWire::Pty});
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    rig.controller(2).setStuckInput(2, true);
    Station s(rig);
    GangStationWindow& w = s.window;
    QSignalSpy started(&w, &GangStationWindow::fixtureStarted);
    EXPECT_EQ(w.focusWidget(), w.serialField());
    EXPECT_EQ(w.nextSocket(), 0);
    EXPECT_TRUE(w.tile(0)->shown().next);
    EXPECT_EQ(w.hintLabel()->text(), "Scan the serial number of the unit in socket A1.");
    EXPECT_EQ(s.states(), (QStringList{"empty", "empty", "empty", "empty"}));
    EXPECT_TRUE(w.tile(1)->linkLabel()->text().startsWith("serial /dev/pts/")) << w.tile(1)->linkLabel()->text().toStdString();
    EXPECT_EQ(w.tile(0)->linkLabel()->text(), "TCP 127.0.0.1:" + rig.sims[0].settings.tcpPort);

    for (int i = 0; i < 3; ++i) s.scan(GangRig::serial(i));
    EXPECT_EQ(s.states(), (QStringList{"waiting", "waiting", "waiting", "empty"}));
    EXPECT_EQ(w.tile(1)->serialLabel()->text(), "SN000002");
    EXPECT_EQ(w.nextSocket(), 3);
    EXPECT_TRUE(w.tile(3)->shown().next);
    EXPECT_FALSE(w.tile(0)->shown().next);
    EXPECT_EQ(started.size(), 0);
    s.scan(GangRig::serial(3));
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0][0].toInt(), 4);
    EXPECT_TRUE(w.running());
    // A scan meanwhile is ignored, and the hint says which.
    s.scan("SN000099");
    EXPECT_EQ(w.hintLabel()->text(), "Scan SN000099 ignored: the fixture is under test.");
    ASSERT_TRUE(s.ended());

    EXPECT_EQ(s.states(), (QStringList{"PASS", "PASS", "FAIL", "PASS"}));
    EXPECT_TRUE(s.detail(2).startsWith("step 2 (DIDO test): ")) << s.detail(2).toStdString();
    EXPECT_TRUE(s.detail(2).contains("01000000")) << s.detail(2).toStdString();
    EXPECT_EQ(w.tile(2)->countsLabel()->text(), "Passed: 0   Failed: 1");
    EXPECT_EQ(w.totalsLabel()->text(), "Units: 4    Passed: 3    Failed: 1    First-pass yield: 75.0%");
    EXPECT_EQ(KeptRuns(rig), (QStringList{"Gang 4-up A1 SN000001 pass", "Gang 4-up A2 SN000002 pass",
                                          "Gang 4-up A3 SN000003 fail", "Gang 4-up A4 SN000004 pass"}));
    EXPECT_EQ(w.focusWidget(), w.serialField());
    // The verdicts stay until the next scan, which goes to the first socket again.
    EXPECT_EQ(w.nextSocket(), 0);

    rig.controller(2).setStuckInput(2, std::nullopt);  // A3 repaired
    s.scan(GangRig::serial(0));
    EXPECT_EQ(s.states(), (QStringList{"waiting", "empty", "empty", "empty"}));
    for (int i = 1; i < 4; ++i) s.scan(GangRig::serial(i));
    EXPECT_EQ(started.size(), 2);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.states(), (QStringList{"PASS", "PASS", "PASS", "PASS"}));
    EXPECT_EQ(w.tile(2)->countsLabel()->text(), "Passed: 1   Failed: 1");
    EXPECT_EQ(w.totalsLabel()->text(), "Units: 4    Passed: 7    Failed: 1    First-pass yield: 75.0%");
    EXPECT_EQ(KeptRuns(rig).size(), 8);
}

TEST(GangStation, SocketNamesChooseBackspaceClearsDuplicatesAreRefusedAndAnOutOfUseSocketIsSkipped) {
    GangRig rig({SocketWire::Tcp, SocketWire::Tcp, SocketWire::Pty, SocketWire::Tcp}, pbtest::kIdentifyDido,
                "on-key");
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    Station s(rig);
    GangStationWindow& w = s.window;
    // A socket's name chooses it for the next scan.
    s.scan("A3");
    EXPECT_EQ(w.nextSocket(), 2);
    EXPECT_EQ(w.hintLabel()->text(), "Socket A3 chosen: the next scan goes to it.");
    s.scan(GangRig::serial(2));
    EXPECT_EQ(w.socket(2).serial, "SN000003");
    EXPECT_EQ(w.nextSocket(), 0);
    s.scan(GangRig::serial(0));
    // The same serial twice is refused where it is.
    s.scan(GangRig::serial(0));
    EXPECT_EQ(w.hintLabel()->text(), "SN000001 is already in socket A1.");
    EXPECT_TRUE(w.socket(1).serial.isEmpty());
    // Backspace on the empty field clears the socket filled last.
    s.key(Qt::Key_Backspace);
    EXPECT_TRUE(w.socket(0).serial.isEmpty());
    EXPECT_EQ(w.socket(2).serial, "SN000003");
    EXPECT_EQ(w.hintLabel()->text(), "Socket A1 cleared.");
    EXPECT_EQ(w.nextSocket(), 0);

    // A2 out of use: chosen by its name, F8, a reason in the dialog.
    s.scan("A2");
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OutOfUseDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        asked = true;
        EXPECT_FALSE(dialog->okButton()->isEnabled());  // not without a reason
        QTest::keyClicks(dialog->reasonEdit(), "pogo pin bent");
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    s.key(Qt::Key_F8);
    EXPECT_TRUE(asked);
    EXPECT_EQ(w.socket(1).state, State::OutOfUse);
    EXPECT_EQ(s.state(1), "OUT OF USE");
    EXPECT_EQ(s.detail(1), "pogo pin bent");
    EXPECT_EQ(w.focusWidget(), w.serialField());

    // The scans skip it; with every socket in use filled, F5 starts them.
    s.scan(GangRig::serial(0));
    EXPECT_EQ(w.nextSocket(), 3);
    s.scan(GangRig::serial(3));
    EXPECT_EQ(w.nextSocket(), -1);
    EXPECT_EQ(w.hintLabel()->text(), "Every socket has its serial number: F5 starts the test.");
    EXPECT_FALSE(w.running());  // on-key: waits
    s.key(Qt::Key_F5);
    EXPECT_TRUE(w.running());
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.states(), (QStringList{"PASS", "OUT OF USE", "PASS", "PASS"}));
    EXPECT_EQ(KeptRuns(rig), (QStringList{"Gang 4-up A1 SN000001 pass", "Gang 4-up A3 SN000003 pass",
                                          "Gang 4-up A4 SN000004 pass"}));
    EXPECT_EQ(rig.sims[1].tcp->clientsAccepted(), 0);  // never reached

    // Back in use: chosen again, F8; the next run's scans go to it in its order.
    s.scan("A2");
    EXPECT_EQ(w.hintLabel()->text(), "Socket A2 is out of use: pogo pin bent");
    s.key(Qt::Key_F8);
    EXPECT_EQ(w.socket(1).state, State::Empty);
    s.scan(GangRig::serial(0));
    EXPECT_EQ(w.nextSocket(), 1);
}

TEST(GangStation, ASocketWhoseControllerIsNotThereShowsWhyWhileTheOthersRun) {
    GangRig rig({SocketWire::Tcp, SocketWire::Absent, SocketWire::Pty, SocketWire::Tcp});
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    Station s(rig);
    for (int i = 0; i < 4; ++i) s.scan(GangRig::serial(i));
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.states(), (QStringList{"PASS", "FAIL", "PASS", "PASS"}));
    EXPECT_TRUE(s.detail(1).startsWith("step 1 (Connect): the link could not be opened: connection refused")) << s.detail(1).toStdString();
}

TEST(GangStation, EachSocketCountsAsItEndsAndAFrozenOneSaysWhatItWaitsForSinceWhen) {
    // DI/DO tried twice: a unit that stops answering is waited for before the second try.
    GangRig rig({SocketWire::Tcp, SocketWire::Tcp}, R"({"schema": 1, "product": "Gang check", "steps": [
 {"kind": "identify", "models": [6]},
 {"kind": "dido", "cycles": 3, "retries": 1, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})");
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    Station s(rig);
    GangStationWindow& w = s.window;
    // A2's controller stops answering once identified, as one stopped by SIGSTOP.
    QObject::connect(&w.runner(), &GangRunner::news, &w, [&rig](const SocketNews& n) {
        if (n.socket == 1 && n.kind == SocketNews::Kind::StepStarted && n.step == 1)
            rig.controller(1).faults().silentPrefixes = {QString()};
    });
    s.scan(GangRig::serial(0));
    s.scan(GangRig::serial(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.socket(0).state == State::Pass; }, 120000));
    EXPECT_TRUE(w.totalsLabel()->text().contains("Passed: 1")) << w.totalsLabel()->text().toStdString();
    // The step, the command left unanswered and how long ago, counting on.
    const QRegularExpression waiting("^" + QRegularExpression::escape(StepName(rig.fixture.recipe.steps[1], 0)) +
                                     ": waiting for the reply to [A-Z]{2}\\w*, (\\d+) s$");
    ASSERT_TRUE(QTest::qWaitFor([&] { return waiting.match(s.detail(1)).captured(1).toInt() >= 2; }, 60000))
        << s.detail(1).toStdString();
    EXPECT_EQ(s.state(1), "step 2 of 2");
    s.key(Qt::Key_Escape);
    ASSERT_TRUE(s.ended());
    EXPECT_TRUE(w.totalsLabel()->text().contains("Failed: 1")) << w.totalsLabel()->text().toStdString();
}

TEST(GangStation, EscDuringAnUpgradeStopsEveryUnitBetweenBlocksAndEveryRecordSaysInterrupted) {
    // 120 blocks of the V6 loader: long enough to be stopped half way.
    QTemporaryDir dir;
    const QString file = dir.filePath("fw.KVF");
    const QByteArray bytes =
        pbtest::FirmwareFileBytes(pbtest::ModelCaseFor(6).header, pbtest::PatternImage(120 * 512, 5));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QByteArray recipe = R"({"schema": 1, "product": "Gang upgrade", "steps": [{"kind": "upgrade", "file": ")" +
                              file.toUtf8() + R"(", "sha256": ")" +
                              QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() +
                              R"(", "version": {"min": "V6.01.00"}, "always": true}]})";
    GangRig rig({SocketWire::Tcp, SocketWire::Pty, SocketWire::Tcp, SocketWire::Pty}, recipe);
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    // Each reply a little late: no unit is through its blocks before the others begin.
    for (int i = 0; i < 4; ++i) rig.controller(i).faults().replyDelayMs = 5;
    Station s(rig);
    GangStationWindow& w = s.window;
    for (int i = 0; i < 4; ++i) s.scan(GangRig::serial(i));
    ASSERT_TRUE(w.running());
    // Each tile shows its step and how far the programming is.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (int i = 0; i < 4; ++i)
            if (w.socket(i).state != State::Running || w.socket(i).done < 2) return false;
        return true;
    }, 60000));
    EXPECT_EQ(s.state(0), "step 1 of 1");
    // How far, and the time left at the pace of the blocks so far.
    const QRegularExpressionMatch left =
        QRegularExpression("^Firmware upgrade: programming (\\d+) / 120, (\\d+) s left$").match(s.detail(0));
    ASSERT_TRUE(left.hasMatch()) << s.detail(0).toStdString();
    EXPECT_GT(left.captured(2).toInt(), 0);
    EXPECT_EQ(w.socket(0).leftS, left.captured(2).toInt());
    EXPECT_TRUE(w.tile(0)->progressBar()->isVisible());
    if (const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !folder.isEmpty()) {
        QDir().mkpath(folder);
        EXPECT_TRUE(w.grab().save(folder + "/gang-4-en-upgrading.png"));
    }
    s.key(Qt::Key_Escape);
    EXPECT_EQ(w.hintLabel()->text(), "Stopping every unit...");
    EXPECT_TRUE(w.isVisible());  // Esc stops, it does not close while units run
    ASSERT_TRUE(s.ended());
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.state(i), "FAIL");
        EXPECT_EQ(s.detail(i), "step 1 (Firmware upgrade): stopped by the operator");
        // Stopped between blocks: not every block went.
        EXPECT_LT(w.socket(i).done, w.socket(i).total);
    }
    QStringList verdicts;
    for (const QString& run : KeptRuns(rig)) verdicts << run.section(' ', -1);
    EXPECT_EQ(verdicts, QStringList(4, "interrupted"));
    // With none running, Esc closes the window.
    s.key(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}

TEST(GangStation, AFixtureFileOpensItFromTheWindowAndAloneARecipeTheSingleStation) {
    QApplication::setQuitOnLastWindowClosed(false);
    GangRig rig({SocketWire::Tcp, SocketWire::Pty});
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    const QString fixture = rig.fixture.sourcePath;
    // --station reads the file before any window: a fixture, or a recipe.
    const std::optional<StationFile> loaded = LoadStationFile(fixture);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(std::holds_alternative<Fixture>(*loaded));
    EXPECT_EQ(std::get<Fixture>(*loaded).sockets.size(), 2);
    const std::optional<StationFile> recipe = LoadStationFile(rig.dir.filePath("recipe.json"));
    ASSERT_TRUE(recipe);
    EXPECT_TRUE(std::holds_alternative<Recipe>(*recipe));
    // A fixture with a mistake opens nothing and says where.
    const QString broken = rig.write("broken.json", R"({"schema": 1, "fixture": "X", "recipe": "recipe.json",
 "sockets": [{"name": "A1", "tcp": "nowhere"}]})");
    EXPECT_FALSE(LoadStationFile(broken));

    TfrmModule window;
    window.show();
    const QString why = window.openStation(broken);
    EXPECT_TRUE(why.startsWith("The fixture broken.json has mistakes:\nline 2, sockets[0].tcp")) << why.toStdString();
    EXPECT_EQ(window.gangStationWindow(), nullptr);
    ASSERT_EQ(window.openStation(fixture), QString());
    EXPECT_EQ(window.settings().stationRecipe, fixture);
    GangStationWindow* station = window.gangStationWindow();
    ASSERT_NE(station, nullptr);
    EXPECT_EQ(window.stationWindow(), nullptr);
    station->runner().setPauseDivisor(10);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(station));
    for (int i = 0; i < 2; ++i) {
        QTest::keyClicks(station->serialField(), GangRig::serial(i));
        QTest::keyClick(station->serialField(), Qt::Key_Return);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !station->running(); }, 120000));
    EXPECT_EQ(station->socket(0).state, State::Pass);
    EXPECT_EQ(station->socket(1).state, State::Pass);
    // It follows the window's language.
    window.ui().mnuSimplified->trigger();
    EXPECT_EQ(station->tile(0)->stateLabel()->text(), Text(GangText::StatePass, 1));
    // A recipe replaces it with the single station.
    ASSERT_EQ(window.openStation(rig.dir.filePath("recipe.json")), QString());
    EXPECT_EQ(window.gangStationWindow(), nullptr);
    EXPECT_NE(window.stationWindow(), nullptr);
}

// A controller that goes away in the middle of its DI/DO loop: the socket fails for the
// lost line, not for the unit's inputs, on its tile and in its record.
TEST(GangStation, AControllerGoneMidDidoIsTheLineLostOnTheTileAndInTheRecord) {
    GangRig rig({SocketWire::Tcp}, R"({"schema": 1, "product": "Gang check", "steps": [
 {"kind": "identify", "models": [6]},
 {"kind": "dido", "cycles": 100000, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})");
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    int reads = 0;
    QObject::connect(&rig.controller(0), &sim::Controller::logged, &rig.controller(0), [&](const sim::LogEntry& e) {
        if (e.dir == sim::LogEntry::Received && e.text.endsWith("DG0") && ++reads == 3)
            QTimer::singleShot(0, &rig.controller(0), [&rig] { rig.sims[0].tcp.reset(); });
    });
    Station s(rig);
    s.scan(GangRig::serial(0));
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.state(0), "FAIL");
    EXPECT_TRUE(s.detail(0).startsWith("step 2 (DIDO test): the line was lost after ")) << s.detail(0).toStdString();
    records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(rig.recordsPath()).ok());
    const QList<records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].cause.code, CauseCode::LineLost);
    EXPECT_EQ(runs[0].steps[1].cause.code, CauseCode::LineLost);
    EXPECT_EQ(runs[0].unitSerial, GangRig::serial(0));
}
