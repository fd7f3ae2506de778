// The test station driven as an operator drives it: a serial number typed (as a barcode
// scanner types it) plus Enter, against the simulated controller on TCP loopback; the
// verdicts, the shift's counts, the records of each unit and the three languages.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "i18n/CauseTexts.h"
#include "app/FitLabel.h"
#include "app/StationStepsModel.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "i18n/StationTexts.h"
#include "catalogue/RecipeLoader.h"
#include "records/store/RecordStore.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "traffic/TrafficLog.h"
#include "tests/support/CutCaptions.h"
#include "tests/support/EventWitness.h"
#include "tests/support/QtPrinters.h"

using namespace pb;

namespace {

// Identify (the serial must be the scanned one), set the clock, three DI/DO cycles with
// every input off: examples/recipes/bench-check.json.
QString BenchCheck() {
    return QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json");
}

Recipe LoadBenchCheck() {
    RecipeLoad load = loadRecipeFile(BenchCheck());
    EXPECT_TRUE(load.recipe);
    return load.recipe ? *load.recipe : Recipe{};
}

// A four-digit controller on the fixture, reached over TCP loopback.
struct Fixture {
    Fixture() : controller(sim::Model::V6), server(controller) { server.listen(0); }
    LinkSettings link() const {
        LinkSettings s;
        s.kind = LinkKind::Net;
        s.ip = QStringLiteral("127.0.0.1");
        s.tcpPort = QString::number(server.port());
        return s;
    }
    // The next unit on the fixture: its serial, and input 3 stuck on or not.
    void place(const QByteArray& serial, bool input3Stuck = false) {
        controller.setSerial(serial);
        controller.setStuckInput(3, input3Stuck ? std::optional<bool>(true) : std::nullopt);
    }
    sim::Controller controller;
    sim::TcpServer server;
};

// The station on bench-check.json over the fixture's link, its pauses shortened, shown.
struct Rig {
    Rig() {
        station.setClock(&clock);
        station.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&station));
    }
    Fixture fixture;
    pbtest::ShortenedEventLoopClock clock{10};
    StationWindow station{LoadBenchCheck(), [this] { return fixture.link(); }, 0};
};

void Scan(StationWindow& station, const QString& serial) {
    QTest::keyClicks(station.serialField(), serial);
    QTest::keyClick(station.serialField(), Qt::Key_Return);
}

}  // namespace

TEST(StationWindow, TenUnitsScannedOneAfterAnotherEachGetAVerdictCountsAndARecord) {
    QTemporaryDir data;
    records::RecordStore store;
    store.openSqlite(data.filePath("records.sqlite"));
    Rig rig;
    auto& [fixture, clock, station] = rig;
    station.setRecords(&store, "Mei");
    QSignalSpy ended(&station, &StationWindow::unitEnded);
    EXPECT_EQ(station.verdictLabel()->text(), "READY");
    EXPECT_EQ(station.focusWidget(), station.serialField());

    struct Unit {
        const char* placed;   // the serial the controller reports
        const char* scanned;  // the label the operator scans
        bool stuck;
        bool passes;
    };
    const Unit units[] = {
        {"SN000001", "SN000001", false, true},
        {"SN000002", "SN000002", true, false},   // input 3 stuck on: the DI/DO step fails
        {"SN000002", "SN000002", false, true},   // the same unit repaired: no first pass
        {"SN000003", "SN000003", false, true},
        {"SN000004", "SN000099", false, false},  // wrong label: identify fails
        {"SN000004", "SN000004", false, true},
        {"SN000005", "SN000005", false, true},
        {"SN000006", "SN000006", false, true},
        {"SN000007", "SN000007", false, true},
        {"SN000008", "SN000008", false, true},
    };
    for (const Unit& unit : units) {
        SCOPED_TRACE(unit.scanned);
        fixture.place(unit.placed, unit.stuck);
        Scan(station, QString::fromLatin1(unit.scanned));
        ASSERT_EQ(ended.size(), &unit - units + 1);
        EXPECT_EQ(ended.last().at(0).toString(), unit.scanned);
        EXPECT_EQ(ended.last().at(1).toBool(), unit.passes);
        EXPECT_EQ(station.verdictLabel()->text(), unit.passes ? "PASS" : "FAIL");
        // Ready for the next scan at once: the field empty and in focus.
        EXPECT_TRUE(station.serialField()->text().isEmpty());
        EXPECT_EQ(station.focusWidget(), station.serialField());
        EXPECT_FALSE(station.running());
    }
    // The last failure named: the wrong label stops the run at identify, the rest not run.
    fixture.place("SN000009");
    Scan(station, "SN000010");
    EXPECT_EQ(station.verdictLabel()->text(), "FAIL");
    EXPECT_TRUE(station.verdictDetail()->text().contains("step 1 (Connect)")) << station.verdictDetail()->text().toStdString();
    EXPECT_TRUE(station.verdictDetail()->text().contains("SN000009")) << station.verdictDetail()->text().toStdString();
    EXPECT_EQ(station.stepsModel()->state(0), StationStepsModel::State::Failed);
    EXPECT_EQ(station.stepsModel()->state(1), StationStepsModel::State::NotRun);
    EXPECT_EQ(station.stepsModel()->state(2), StationStepsModel::State::NotRun);

    // 8 passed, 3 failed; 10 serials, 7 passed at their first run.
    EXPECT_EQ(station.counts().passed(), 8);
    EXPECT_EQ(station.counts().failed(), 3);
    EXPECT_EQ(station.counts().units(), 10);
    EXPECT_EQ(station.counts().firstPassUnits(), 7);
    EXPECT_EQ(station.countsLabel()->text(), "Passed: 8    Failed: 3    First-pass yield: 70.0%");

    // Every scan is one recipe run in the records, with all three steps.
    const QList<records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 11);
    int passes = 0;
    for (const records::RecipeRunRow& run : runs) {
        EXPECT_EQ(run.steps.size(), 3) << run.scannedSerial.toStdString();
        EXPECT_EQ(run.recipeHash, station.recipe().hashHex());
        EXPECT_EQ(run.operatorName, "Mei");
        passes += run.verdict == "pass";
    }
    EXPECT_EQ(passes, 8);
}

TEST(StationWindow, StuckInputFailsTheDidoStepAndTheBannerSaysWhyUntilTheNextScan) {
    Rig rig;
    auto& [fixture, clock, station] = rig;
    fixture.place("SN000042", true);
    Scan(station, "SN000042");
    EXPECT_EQ(station.verdictLabel()->text(), "FAIL");
    const QString detail = station.verdictDetail()->text();
    EXPECT_TRUE(detail.startsWith("SN000042: step 3 (DIDO test) failed: ")) << detail.toStdString();
    EXPECT_EQ(station.stepsModel()->state(0), StationStepsModel::State::Passed);
    EXPECT_EQ(station.stepsModel()->state(1), StationStepsModel::State::Passed);
    EXPECT_EQ(station.stepsModel()->state(2), StationStepsModel::State::Failed);
    // What identify measured is on show.
    const QString measured =
        station.stepsModel()->index(0, StationStepsModel::ColumnMeasured).data().toString();
    EXPECT_TRUE(measured.contains("SN000042")) << measured.toStdString();

    // Enter on an empty field, or on spaces, does nothing: the verdict stays.
    QSignalSpy started(&station, &StationWindow::unitStarted);
    QTest::keyClick(station.serialField(), Qt::Key_Return);
    QTest::keyClicks(station.serialField(), "   ");
    QTest::keyClick(station.serialField(), Qt::Key_Return);
    EXPECT_EQ(started.size(), 0);
    EXPECT_EQ(station.verdictLabel()->text(), "FAIL");

    // A scan while a unit runs is ignored, and the hint says so.
    QString hintMeanwhile;
    QObject::connect(&station, &StationWindow::unitStarted, &station, [&] {
        Scan(station, "SN000043");
        hintMeanwhile = station.hintLabel()->text();
        EXPECT_EQ(station.verdictLabel()->text(), "TESTING SN000042");
    });
    fixture.place("SN000042");
    Scan(station, "SN000042");
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(hintMeanwhile, "Scan SN000043 ignored: a unit is under test.");
    EXPECT_EQ(station.verdictLabel()->text(), "PASS");
    EXPECT_EQ(station.counts().passed() + station.counts().failed(), 2);
    EXPECT_EQ(station.hintLabel()->text(), Text(StationText::HintReady, 0));
}

TEST(StationWindow, KeyboardAloneReachesTheResetAndComesBackToTheSerialField) {
    Rig rig;
    auto& [fixture, clock, station] = rig;
    station.activateWindow();
    fixture.place("SN000007");
    Scan(station, "SN000007");
    ASSERT_EQ(station.counts().passed(), 1);
    QTest::keyClick(station.serialField(), Qt::Key_Tab);
    EXPECT_EQ(station.focusWidget(), station.resetButton());
    QTest::keyClick(station.resetButton(), Qt::Key_Space);
    EXPECT_EQ(station.counts().passed(), 0);
    EXPECT_EQ(station.countsLabel()->text(), "Passed: 0    Failed: 0    First-pass yield: -");
    EXPECT_EQ(station.focusWidget(), station.serialField());
    // The verdict of the last unit stays after a reset.
    EXPECT_EQ(station.verdictLabel()->text(), "PASS");

    // A scan while the button has the focus still reaches the serial field.
    QTest::keyClick(station.serialField(), Qt::Key_Tab);
    ASSERT_EQ(station.focusWidget(), station.resetButton());
    fixture.place("SN000008");
    QTest::keyClicks(station.resetButton(), "SN000008");
    EXPECT_EQ(station.serialField()->text(), "SN000008");
    QTest::keyClick(station.serialField(), Qt::Key_Return);
    EXPECT_EQ(station.counts().passed(), 1);
    EXPECT_EQ(station.focusWidget(), station.serialField());
}

// File > Station mode on the window's link, records and language; each language's PASS
// and FAIL with every caption fitting, saved when PANELBENCH_SCREENSHOT_DIR names a folder.
TEST(StationWindow, OpenedFromTheWindowFollowsItsLanguageAndFitsInEach) {
    QApplication::setQuitOnLastWindowClosed(false);
    Fixture fixture;
    TfrmModule window;
    auto& u = window.ui();
    u.pcPort->setCurrentWidget(u.tsNet);
    u.edIP->setText("127.0.0.1");
    u.edPort->setText(QString::number(fixture.server.port()));
    window.show();
    // Not a recipe: why, with the line, and no station.
    const QString why = window.openStation(PANELBENCH_SOURCE_DIR "/README.md");
    EXPECT_TRUE(why.startsWith("The recipe README.md has mistakes:\nline 1")) << why.toStdString();
    EXPECT_EQ(window.stationWindow(), nullptr);
    ASSERT_EQ(window.openStation(BenchCheck()), QString());
    EXPECT_EQ(window.settings().stationRecipe, QFileInfo(BenchCheck()).absoluteFilePath());
    StationWindow& station = *window.stationWindow();
    pbtest::ShortenedEventLoopClock clock(10);
    station.setClock(&clock);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&station));
    EXPECT_TRUE(station.findChild<QLabel*>("pnLink")->text().contains(
        "127.0.0.1:" + QString::number(fixture.server.port())));

    const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    const QList<QAction*> languages = {u.mnuEnglish, u.mnuSimplified, u.mnuTraditional};
    const char* names[] = {"en", "zh-hans", "zh-hant"};
    for (int language = 0; language < 3; ++language) {
        SCOPED_TRACE(names[language]);
        languages[language]->trigger();
        if (language > 0) {
            // The last unit's readings are on show again, now in this language.
            const QString measured =
                station.stepsModel()->index(0, StationStepsModel::ColumnMeasured).data().toString();
            EXPECT_TRUE(measured.contains(language == 1 ? u"序号" : u"序號")) << measured.toStdString();
            EXPECT_TRUE(measured.contains(u"SN004711")) << measured.toStdString();
        }
        EXPECT_EQ(u.mnuStation->text(), Text(StationText::MenuEntry, language));
        EXPECT_EQ(station.language(), language);
        EXPECT_EQ(station.resetButton()->text(), Text(StationText::ResetCounts, language));
        for (bool passes : {true, false}) {
            fixture.place("SN004711", !passes);
            Scan(station, "SN004711");
            EXPECT_EQ(station.verdictLabel()->text(),
                      Text(passes ? StationText::BannerPass : StationText::BannerFail, language));
            EXPECT_EQ(pbtest::CutCaptions(station), QStringList());
            if (folder.isEmpty()) continue;
            QDir().mkpath(folder);
            const QString file = language == 0 && passes
                                     ? folder + "/station.png"
                                     : folder + QStringLiteral("/station-%1-%2.png")
                                                    .arg(passes ? "pass" : "fail", names[language]);
            EXPECT_TRUE(station.grab().save(file)) << file.toStdString();
        }
    }
    // Each run was kept in the window's records, its frames went to the traffic monitor.
    EXPECT_EQ(window.records().queries().recipeRuns({}).size(), 6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.trafficLog().rowCount() > 0; }, 5000));
}

TEST(StationWindow, EscStopsTheRunningUnitAndACloseMeanwhileWaitsForIt) {
    Rig rig;
    auto& [fixture, clock, station] = rig;
    fixture.place("SN000050");
    // Esc once the second step is under way; a close asked for then waits for the end.
    QObject::connect(station.stepsModel(), &QAbstractItemModel::dataChanged, &station, [&] {
        if (station.stepsModel()->state(1) != StationStepsModel::State::Running) return;
        if (!station.isVisible()) return;
        QTest::keyClick(station.serialField(), Qt::Key_Escape);
        EXPECT_FALSE(station.close());
        EXPECT_TRUE(station.isVisible());
    });
    Scan(station, "SN000050");
    EXPECT_EQ(station.verdictLabel()->text(), "FAIL");
    EXPECT_EQ(station.counts().failed(), 1);
    EXPECT_EQ(station.stepsModel()->state(0), StationStepsModel::State::Passed);
    EXPECT_EQ(station.stepsModel()->state(2), StationStepsModel::State::NotRun);
    EXPECT_TRUE(station.verdictDetail()->text().contains(CauseText(Cause::of(CauseCode::Interrupted), 0)))
        << station.verdictDetail()->text().toStdString();
    // The close asked for during the run is carried out after it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !station.isVisible(); }, 5000));
}

// Done with the station: its Close button, or Esc while no unit runs, closes it; Tab
// reaches the button from the serial field.
TEST(StationWindow, CloseButtonAndEscWhileIdleCloseIt) {
    Rig rig;
    auto& [fixture, clock, station] = rig;
    ASSERT_NE(station.closeButton(), nullptr);
    EXPECT_EQ(station.closeButton()->text(), Text(StationText::Close, 0));
    fixture.place("SN000060");
    Scan(station, "SN000060");
    ASSERT_EQ(station.counts().passed(), 1);
    QTest::keyClick(station.serialField(), Qt::Key_Escape);
    EXPECT_FALSE(station.isVisible());

    station.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&station));
    station.activateWindow();
    QWidget* at = station.serialField();
    at->setFocus();
    for (int i = 0; i < 3 && at != station.closeButton(); ++i) {
        QTest::keyClick(at, Qt::Key_Tab);
        at = station.focusWidget();
    }
    ASSERT_EQ(at, station.closeButton());
    QTest::keyClick(station.closeButton(), Qt::Key_Space);
    EXPECT_FALSE(station.isVisible());
    // The counts of the shift are kept for when it is opened again.
    EXPECT_EQ(station.counts().passed(), 1);
}
