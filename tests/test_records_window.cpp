// The records window on a real store: filters, a run's details and traffic, exports of
// the selection, and its captions in each language (with pictures when
// PANELBENCH_SCREENSHOT_DIR names a folder).
#include <gtest/gtest.h>

#include "i18n/CauseTexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/OperatorNameDialog.h"
#include "app/RecordsModels.h"
#include "app/RecordsWindow.h"
#include "i18n/RecipeTexts.h"
#include "i18n/RecordsTexts.h"
#include "records/store/CappedTraffic.h"
#include "tests/support/CutCaptions.h"

using namespace pb::records;

namespace {

class RecordsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
        const qint64 base = QDateTime(QDate(2026, 12, 1), QTime(9, 0)).toMSecsSinceEpoch();
        const char* serials[] = {"KV-0042", "KV-0043", ""};
        const char* procedures[] = {"connect", "dido", "set-date", "firmware-upgrade"};
        for (int i = 0; i < 12; ++i) {
            RunStart start;
            start.procedure = QLatin1String(procedures[i % 4]);
            start.linkText = QStringLiteral("127.0.0.1:4001");
            start.operatorName = QStringLiteral("Li Wei");
            start.startMs = base + qint64(i) * 86400000;  // a day apart
            start.unit.serial = QLatin1String(serials[i % 3]);
            const qint64 id = store.writer().beginRun(start);
            store.writer().endRun(id, {start.startMs + 2500, i == 7 ? Outcome::Error : Outcome::Ok,
                              QStringLiteral("Command finished."), {{"step", i}}, {}});
            lastRun = id;
        }
        CappedTraffic log(600);
        for (int i = 0; i < 30; ++i)
            log.add({base + i, i % 2 ? Direction::Received : Direction::Sent,
                     QByteArray("\x01" "0001AS\r"), QStringLiteral("good"), {}});
        store.writer().saveTraffic(lastRun, log.kept());
    }

    QTemporaryDir dir;
    RecordStore store;
    qint64 lastRun = 0;
};

TEST_F(RecordsWindowTest, FiltersNarrowTheRunsNewestFirst) {
    RecordsWindow w(store, 0);
    QTableView* runs = w.runsView();
    ASSERT_EQ(runs->model()->rowCount(), 12);
    EXPECT_EQ(w.runsModel()->runId(0), lastRun);
    // Two units: the runs on the link before any identify are no unit of their own.
    EXPECT_EQ(w.unitsView()->model()->rowCount(), 2);
    // Serial part.
    w.serialEdit()->setText(QStringLiteral("0043"));
    EXPECT_EQ(runs->model()->rowCount(), 4);
    EXPECT_EQ(w.unitsView()->model()->rowCount(), 1);
    w.serialEdit()->clear();
    // Outcome and procedure, chosen by their shown names.
    w.outcomeCombo()->setCurrentIndex(w.outcomeCombo()->findData(QStringLiteral("error")));
    w.refresh();
    ASSERT_EQ(runs->model()->rowCount(), 1);
    EXPECT_EQ(runs->model()->index(0, RecordQueries::RunOutcome).data().toString(), "Error");
    w.outcomeCombo()->setCurrentIndex(0);
    w.procedureCombo()->setCurrentIndex(w.procedureCombo()->findData(QStringLiteral("firmware-upgrade")));
    w.refresh();
    EXPECT_EQ(runs->model()->rowCount(), 3);
    EXPECT_EQ(runs->model()->index(0, RecordQueries::RunProcedure).data().toString(), "Firmware upgrade");
    w.procedureCombo()->setCurrentIndex(0);
    // Dates: the 3rd to the 5th of December, inclusive.
    w.fromEdit()->setDate(QDate(2026, 12, 3));
    w.toEdit()->setDate(QDate(2026, 12, 5));
    w.datesCheck()->setChecked(true);
    EXPECT_EQ(runs->model()->rowCount(), 3);
    w.datesCheck()->setChecked(false);
    // A unit chosen on the left.
    QTableView* units = w.unitsView();
    const QModelIndex first = units->model()->index(0, RecordQueries::UnitSerial);
    units->setCurrentIndex(first);
    emit units->clicked(first);
    EXPECT_EQ(runs->model()->rowCount(), 4);
    EXPECT_GT(w.reportUnit(), 0);
}

TEST_F(RecordsWindowTest, ARunShowsItsDetailsAndTraffic) {
    RecordsWindow w(store, 1);
    w.runsView()->setCurrentIndex(w.runsView()->model()->index(0, RecordQueries::RunStartMs));
    EXPECT_TRUE(w.detailsView()->toPlainText().contains(QStringLiteral("\"step\": 11")));
    EXPECT_TRUE(w.detailsView()->toPlainText().contains(pb::Text(pb::RecordText::OutcomeOk, 1)));
    QAbstractItemModel* traffic = w.trafficView()->model();
    const KeptTraffic kept = store.queries().traffic(lastRun);
    ASSERT_GT(kept.dropped, 0);
    ASSERT_EQ(traffic->rowCount(), kept.frames.size() + 1);
    EXPECT_EQ(traffic->index(0, RecordsTrafficModel::Bytes).data().toString(), "<SOH>0001AS<CR>");
    EXPECT_EQ(traffic->index(0, RecordsTrafficModel::Direction).data().toString(),
              pb::Text(pb::RecordText::DirectionSent, 1));
    EXPECT_EQ(traffic->index(int(kept.droppedAfter) + 1, RecordsTrafficModel::Bytes).data().toString(),
              pb::Text(pb::RecordText::FramesDropped, 1).arg(kept.dropped));
}

TEST_F(RecordsWindowTest, ExportsTakeTheSelectedRunsOrTheUnitOfTheReport) {
    RecordsWindow w(store, 0);
    // Nothing chosen: no report, and the status line says what to do.
    EXPECT_FALSE(w.exportPdf(dir.filePath(QStringLiteral("none.pdf"))));
    EXPECT_EQ(w.statusLine()->text(), pb::Text(pb::RecordText::ChooseUnit, 0));
    QTableView* runs = w.runsView();
    runs->selectionModel()->select(runs->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    runs->selectionModel()->select(runs->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    runs->selectionModel()->setCurrentIndex(runs->model()->index(2, 0), QItemSelectionModel::NoUpdate);
    const QString csv = dir.filePath(QStringLiteral("two.csv"));
    ASSERT_TRUE(w.exportCsv(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 3);  // head and two runs
    EXPECT_TRUE(w.statusLine()->text().startsWith(QLatin1String("Exported 2 runs")));
    EXPECT_TRUE(w.exportPdf(dir.filePath(QStringLiteral("unit.pdf"))));
    EXPECT_TRUE(w.exportHtml(dir.filePath(QStringLiteral("unit.html"))));
    EXPECT_TRUE(w.exportJson(dir.filePath(QStringLiteral("two.json"))));
    EXPECT_FALSE(w.exportJson(dir.filePath(QStringLiteral("no/such/folder/x.json"))));
    EXPECT_TRUE(w.statusLine()->text().startsWith(QLatin1String("Could not write")));
}

// A unit test whose connect went well and whose identify step failed on the serial.
TEST_F(RecordsWindowTest, AFailedUnitTestIsARowOfItsOwnShownInTheWindowsLanguage) {
    const qint64 at = QDateTime(QDate(2026, 12, 20), QTime(9, 0)).toMSecsSinceEpoch();
    RecipeRunStart start;
    start.recipeName = QStringLiteral("Bench check");
    start.recipeHash = QString(64, u'a');
    start.scannedSerial = QStringLiteral("WRONG123");
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.startMs = at;
    for (const char* kind : {"identify", "dido"}) {
        RecipeStepRow step;
        step.index = int(start.steps.size());
        step.kind = step.label = QLatin1String(kind);
        start.steps << step;
    }
    const qint64 test = store.recipeWriter().beginRecipeRun(start);
    ASSERT_GT(test, 0);
    RunStart connect;
    connect.procedure = QStringLiteral("connect");
    connect.linkText = start.linkText;
    connect.startMs = at + 100;
    const qint64 connectRun = store.writer().beginRun(connect);
    ASSERT_TRUE(store.recipeWriter().linkRunToRecipe(connectRun, test, 0));
    const UnitIdentity unit{QStringLiteral("KV-0042"), 3, QStringLiteral("KV320MX"), QStringLiteral("V5.10.02"), {}};
    ASSERT_TRUE(store.writer().endRun(connectRun, {at + 900, Outcome::Ok, QStringLiteral("Command ok."), {}, unit}));
    const pb::Cause why = pb::Cause::of(pb::CauseCode::SerialMismatch, {QStringLiteral("KV-0042"), QStringLiteral("WRONG123")});
    RecipeRunEnd end;
    end.endMs = at + 1000;
    end.verdict = QStringLiteral("fail");
    end.failingStep = 0;
    end.cause = why;
    end.steps = start.steps;
    end.steps[0].verdict = QStringLiteral("fail");
    end.steps[0].cause = why;
    end.identity = unit;
    ASSERT_TRUE(store.recipeWriter().endRecipeRun(test, end));

    RecordsWindow w(store, 1);
    QAbstractItemModel* runs = w.runsView()->model();
    // Newest first: its connect run (which went well), then the unit test that failed.
    ASSERT_EQ(runs->rowCount(), 14);
    EXPECT_EQ(w.runsModel()->runId(0), connectRun);
    EXPECT_EQ(runs->index(0, RecordQueries::RunStatus).data().toString(), QStringLiteral("指令完成."));
    EXPECT_EQ(w.runsModel()->recipeRunId(1), test);
    EXPECT_EQ(w.runsModel()->runId(1), 0);
    EXPECT_EQ(runs->index(1, RecordQueries::RunOutcome).data().toString(), pb::Text(pb::RecordText::VerdictFail, 1));
    EXPECT_EQ(runs->index(1, RecordQueries::RunProcedure).data().toString(), QStringLiteral("单元测试: Bench check"));
    // Where and why it failed, and the stored English texts, in the window's language.
    EXPECT_EQ(runs->index(1, RecordQueries::RunStatus).data().toString(),
              QStringLiteral("第 1 步 连线装置: ") + pb::CauseText(why, 1));
    w.runsView()->setCurrentIndex(runs->index(1, RecordQueries::RunStartMs));
    EXPECT_TRUE(w.detailsView()->toPlainText().contains(QStringLiteral("配方 Bench check：不合格")))
        << w.detailsView()->toPlainText().toStdString();
    EXPECT_TRUE(w.detailsView()->toPlainText().contains(QStringLiteral(" 1. 连线装置  不合格")));
    // The frames' verdicts too.
    w.runsView()->setCurrentIndex(runs->index(2, RecordQueries::RunStartMs));
    EXPECT_EQ(w.trafficView()->model()->index(0, RecordsTrafficModel::Verdict).data().toString(), QStringLiteral("正确"));

    // The outcome filter finds it among the errors, the test filter among unit tests.
    w.outcomeCombo()->setCurrentIndex(w.outcomeCombo()->findData(QStringLiteral("error")));
    w.refresh();
    ASSERT_EQ(runs->rowCount(), 2);
    EXPECT_EQ(w.runsModel()->recipeRunId(0), test);  // newer than the error run of the fixture
    w.outcomeCombo()->setCurrentIndex(0);
    w.procedureCombo()->setCurrentIndex(w.procedureCombo()->findData(QStringLiteral("recipe")));
    w.refresh();
    ASSERT_EQ(runs->rowCount(), 1);
    w.procedureCombo()->setCurrentIndex(0);
    w.refresh();

    // The unit test chosen alone is exported with its runs: a row that says it failed.
    w.runsView()->selectionModel()->select(runs->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QString csv = dir.filePath(QStringLiteral("test.csv"));
    ASSERT_TRUE(w.exportCsv(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4);  // head, the unit test, its connect run, the end
    EXPECT_TRUE(lines[2].startsWith(",KV-0042,127.0.0.1:4001,recipe,error,")) << lines[2].constData();
    EXPECT_TRUE(lines[2].contains(",Bench check,1 identify,fail")) << lines[2].constData();
    EXPECT_TRUE(lines[1].startsWith(QByteArray::number(connectRun) + ",KV-0042,")) << lines[1].constData();
    // The report of its unit, in the window's language, says it failed.
    w.runsView()->selectionModel()->setCurrentIndex(runs->index(1, 0), QItemSelectionModel::NoUpdate);
    const QString html = dir.filePath(QStringLiteral("unit.html"));
    ASSERT_TRUE(w.exportHtml(html));
    QFile report(html);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("<td>单元测试: Bench check</td><td class=\"bad\">错误</td>"))) << text.toStdString();
}

class RecordsWindowLanguages : public RecordsWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(RecordsWindowLanguages, CaptionsFitAndPictureIsSaved) {
    const int language = GetParam();
    RecordsWindow w(store, 0);
    w.setLanguage(language);  // switched while open, as the main window's menu does
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.runsView()->setCurrentIndex(w.runsView()->model()->index(0, RecordQueries::RunStartMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.windowTitle(), pb::Text(pb::RecordText::WindowTitle, language));
    EXPECT_EQ(w.runsView()->model()->headerData(RecordQueries::RunOutcome, Qt::Horizontal).toString(),
              pb::Text(pb::RecordText::ColOutcome, language));
    EXPECT_EQ(pbtest::CutCaptions(w, true), QStringList()) << "language " << language;

    OperatorNameDialog dialog(QStringLiteral("Li Wei"), language, &w);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(pbtest::CutCaptions(dialog), QStringList()) << "language " << language;
    EXPECT_EQ(dialog.name(), "Li Wei");

    if (const QString shots = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !shots.isEmpty()) {
        const char* names[] = {"en", "zh-hans", "zh-hant"};
        w.grab().save(shots + QStringLiteral("/records-window-%1.png").arg(QLatin1String(names[language])));
        dialog.grab().save(shots + QStringLiteral("/operator-dialog-%1.png").arg(QLatin1String(names[language])));
    }
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, RecordsWindowLanguages, ::testing::Values(0, 1, 2));

}  // namespace

TEST_F(RecordsWindowTest, AnUpgradeThatLeftBlocksOutShowsOkWithTheWarning) {
    RunStart start;
    start.procedure = QStringLiteral("firmware-upgrade");
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.startMs = QDateTime(QDate(2026, 12, 20), QTime(9, 0)).toMSecsSinceEpoch();
    start.unit.serial = QStringLiteral("KV-0042");
    const qint64 id = store.writer().beginRun(start);
    store.writer().endRun(id, {start.startMs + 9000, Outcome::Ok, QStringLiteral("Command ok."),
                      {{"warning", "blocks-left-out"}, {"blocksLeftOut", 276}}, {}});
    RecordsWindow w(store, 2);
    ASSERT_EQ(w.runsModel()->runId(0), id);
    EXPECT_EQ(w.runsView()->model()->index(0, RecordQueries::RunOutcome).data().toString(),
              pb::Text(pb::RecordText::OutcomeOk, 2) + QStringLiteral("（警告：檔案有 276 塊未寫入）"));
    EXPECT_TRUE(w.runsView()->isColumnHidden(RecordQueries::RunDetails));
    // A run without a warning shows its outcome alone.
    EXPECT_EQ(w.runsView()->model()->index(1, RecordQueries::RunOutcome).data().toString(),
              pb::Text(pb::RecordText::OutcomeOk, 2));
}
