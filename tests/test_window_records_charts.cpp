// The records window's charts page over seeded unit tests with a known answer: the
// failures by step in order with their counts and cumulative line, a cell per socket with
// the flagged one marked, clicks that narrow the list, drawing only while shown, and its
// words in each language fitting at 1x and 2x (pictures when PANELBENCH_SCREENSHOT_DIR
// names a folder).
#include <gtest/gtest.h>

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTabWidget>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/QtPrinters.h"

#include "app/DistributionChart.h"
#include "app/FixtureHealthGrid.h"
#include "app/RecordsChartsPage.h"
#include "app/RecordsModels.h"
#include "app/RecordsWindow.h"
#include "catalogue/StepNames.h"
#include "i18n/ChartTexts.h"
#include "i18n/RecordsTexts.h"
#include "records/store/FigureRollup.h"
#include "tests/support/CutCaptions.h"
#include "tests/support/SeededUnitTests.h"

using namespace pb::records;
using pbtest::SeededTest;

namespace {

constexpr qint64 kDay = 86400000;

// Fixture F1 of four sockets, 60 unit tests each over two days: A1 fails 30 (at the
// DI/DO loop), its neighbours 2 each (at identify); three more off any fixture fail at
// the upgrade on a third day.
class ChartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.openSqlite(dir.filePath(QStringLiteral("records.sqlite"))).ok());
        const qint64 base = QDateTime(QDate(2026, 12, 1), QTime(9, 0)).toMSecsSinceEpoch();
        const QStringList sockets = {QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("A4")};
        for (const QString& socket : sockets) {
            for (int i = 0; i < 60; ++i) {
                const int fails = socket == QLatin1String("A1") ? 30 : 2;
                const bool failed = i < fails;
                SeededTest t{QStringLiteral("%1-%2").arg(socket).arg(i, 3, 10, QChar(u'0')),
                             base + (i % 2) * kDay + i * 1000, failed ? "fail" : "pass"};
                t.fixture = QStringLiteral("F1");
                t.socket = socket;
                t.failingStep = failed ? (socket == QLatin1String("A1") ? 1 : 0) : -1;
                pbtest::WriteUnitTest(store, t);
            }
        }
        for (int i = 0; i < 5; ++i) {
            SeededTest t{QStringLiteral("LOOSE-%1").arg(i), base + 2 * kDay + i * 1000, i < 3 ? "fail" : "pass"};
            t.failingStep = i < 3 ? 2 : -1;
            pbtest::WriteUnitTest(store, t);
        }
    }

    // A connect run of A1-000 whose traffic holds ten replies: nine from 10 to 90 ms and one
    // at 400 ms.
    void addTraffic() {
        const qint64 at = QDateTime(QDate(2026, 12, 1), QTime(8, 0)).toMSecsSinceEpoch();
        RunStart start;
        start.procedure = QStringLiteral("connect");
        start.linkText = QStringLiteral("/dev/pts/3 9600");
        start.station = QStringLiteral("line-1");
        start.startMs = at;
        start.unit = UnitIdentity{QStringLiteral("A1-000"), 3, "KV410", "0470", "0001"};
        const qint64 runId = store.writer().beginRun(start);
        ASSERT_TRUE(store.writer().endRun(runId, RunEnd{at + 5000, Outcome::Ok, {}, {}, {}}));
        const QList<qint64> latencies = {10, 20, 30, 40, 50, 60, 70, 80, 90, 400};
        KeptTraffic traffic;
        for (int i = 0; i < latencies.size(); ++i) {
            traffic.frames << TrafficFrame{at + i * 1000, Direction::Sent, QByteArray("\x01" "0000AC\x02" "DE5B\r"), {}, {}};
            traffic.frames << TrafficFrame{at + i * 1000 + latencies[i], Direction::Received,
                                           QByteArray("\x03" "OK\x04" "1234\r"), {}, {}};
        }
        ASSERT_TRUE(store.writer().saveTraffic(runId, traffic));
    }

    // The unit tests' times spread over 50 to 80 s (the seeded ones take a second each),
    // changed in the rows and so counted again, as for any store filled by other means.
    void spreadTimes() {
        QSqlDatabase db = store.database();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE recipe_runs SET end_ms = start_ms + 50000 + (id * 7919) % 30000")));
        QString error;
        ASSERT_TRUE(pb::records::RebuildFigures(db, &error)) << error.toStdString();
    }

    // The window on its charts page, shown.
    std::unique_ptr<RecordsWindow> chartsWindow(int language = 0) {
        auto w = std::make_unique<RecordsWindow>(store, language);
        w->pages()->setCurrentIndex(1);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    QStringList categories(QChart* chart) {
        for (QAbstractAxis* axis : chart->axes(Qt::Horizontal))
            if (auto* x = qobject_cast<QBarCategoryAxis*>(axis)) return x->categories();
        return {};
    }

    QTemporaryDir dir;
    RecordStore store;
};

TEST_F(ChartsTest, TheChartsShowTheFiguresOfTheFilter) {
    auto w = chartsWindow();
    RecordsChartsPage* page = w->chartsPage();
    ASSERT_EQ(page->draws(), 1);

    // Failures by step, most first, and the cumulative share of all 39.
    EXPECT_EQ(categories(page->paretoChart()),
              (QStringList{QStringLiteral("DI/DO loop"), QStringLiteral("Connect"), QStringLiteral("Firmware upgrade")}));  // a label as given, else the test's name
    QBarSet* bars = page->paretoBars();
    ASSERT_EQ(bars->count(), 3);
    EXPECT_EQ(bars->at(0), 30);
    EXPECT_EQ(bars->at(1), 6);
    EXPECT_EQ(bars->at(2), 3);
    const QList<QPointF> line = page->paretoLine()->points();
    ASSERT_EQ(line.size(), 3);
    EXPECT_NEAR(line[0].y(), 100.0 * 30 / 39, 1e-9);
    EXPECT_NEAR(line[1].y(), 100.0 * 36 / 39, 1e-9);
    EXPECT_NEAR(line[2].y(), 100.0, 1e-9);

    // Per day: bars of passed and failed, and the first-pass yield (every unit tested once).
    EXPECT_EQ(categories(page->yieldChart()),
              (QStringList{QStringLiteral("12-01"), QStringLiteral("12-02"), QStringLiteral("12-03")}));
    ASSERT_EQ(page->passedBars()->count(), 3);
    EXPECT_EQ(page->passedBars()->at(0) + page->passedBars()->at(1), 240 - 36);
    EXPECT_EQ(page->failedBars()->at(0) + page->failedBars()->at(1), 36);
    EXPECT_EQ(page->passedBars()->at(2), 2);
    EXPECT_EQ(page->failedBars()->at(2), 3);
    EXPECT_NEAR(page->firstPassLine()->at(2).y(), 40.0, 1e-9);

    // A cell per socket; A1 alone marked, each with failed/tests.
    const QList<SocketCell*> cells = page->healthGrid()->cells();
    ASSERT_EQ(cells.size(), 4);
    for (SocketCell* cell : cells) {
        const bool a1 = cell->health().socket == QLatin1String("A1");
        EXPECT_EQ(cell->marked(), a1) << cell->health().socket.toStdString();
        EXPECT_EQ(cell->text().contains(u'!'), a1);
        EXPECT_EQ(cell->styleSheet().contains(QStringLiteral("3px solid #d00000")), a1);
        EXPECT_TRUE(cell->text().endsWith(a1 ? QStringLiteral("30/60") : QStringLiteral("2/60")))
            << cell->text().toStdString();
    }
    EXPECT_NE(cells[0]->fill(), cells[1]->fill());  // coloured by the rate

    // The filter's serial narrows the charts too: A1's sixty alone.
    w->serialEdit()->setText(QStringLiteral("A1-"));
    EXPECT_EQ(page->draws(), 2);
    ASSERT_EQ(page->paretoBars()->count(), 1);
    EXPECT_EQ(page->paretoBars()->at(0), 30);
    EXPECT_EQ(page->healthGrid()->cells().size(), 1);

    // A unit that passed off any fixture: no bars to click, no cells, and the page says so.
    w->serialEdit()->setText(QStringLiteral("LOOSE-4"));
    EXPECT_EQ(page->paretoBars()->count(), 0);
    EXPECT_TRUE(page->paretoChart()->title().endsWith(pb::Text(pb::ChartText::NoFailures, 0)));
    EXPECT_TRUE(page->healthGrid()->cells().isEmpty());
    EXPECT_TRUE(page->findChild<QLabel*>(QStringLiteral("lbNoFixtures"))->isVisible());

    // Nothing in the filter: the page says so instead of empty charts.
    w->serialEdit()->setText(QStringLiteral("no such unit"));
    EXPECT_TRUE(page->emptyNote()->isVisible());
    EXPECT_EQ(page->emptyNote()->text(), pb::Text(pb::ChartText::NoUnitTests, 0));
}

TEST_F(ChartsTest, TheFinalYieldAndTheRetestsStandBesideTheFirstPassYield) {
    // LOOSE-0 and 1 pass a retest: of 245 units 206 passed at first, 208 in the end, in 247 tests.
    const qint64 noon = QDateTime(QDate(2026, 12, 3), QTime(12, 0)).toMSecsSinceEpoch();
    for (int i = 0; i < 2; ++i) pbtest::WriteUnitTest(store, SeededTest{QStringLiteral("LOOSE-%1").arg(i), noon + i, "pass"});
    auto w = chartsWindow();
    RecordsChartsPage* page = w->chartsPage();
    EXPECT_NEAR(page->firstPassLine()->at(2).y(), 40.0, 1e-9);
    EXPECT_NEAR(page->finalLine()->at(2).y(), 80.0, 1e-9);
    EXPECT_EQ(page->yieldTotals()->text(),
              pb::Text(pb::ChartText::YieldTotals, 0).arg(QStringLiteral("84.1"), QStringLiteral("84.9")).arg(2).arg(247));
    EXPECT_EQ(w->runsView()->model()->index(0, RecordQueries::RunProcedure).data().toString(),
              "Unit test: KV410 (retest 1)");
}

// Unit-test time in even bins with its percentiles said under it, and the replies' latency
// from the traffic kept with a run; both follow the filter.
TEST_F(ChartsTest, TheDistributionsOfUnitTestTimeAndReplyLatencyShow) {
    addTraffic();
    auto w = chartsWindow();
    RecordsChartsPage* page = w->chartsPage();
    const auto sum = [](QBarSet* set) {
        qreal all = 0;
        for (int i = 0; i < set->count(); ++i) all += set->at(i);
        return all;
    };
    // Every unit test took a second (the seeded ones do): one bar holds all 245.
    DistributionChart* tests = page->durationChart();
    ASSERT_EQ(tests->bars()->count(), 1);
    EXPECT_EQ(tests->bars()->at(0), 245);
    EXPECT_EQ(tests->caption()->text(), pb::Text(pb::ChartText::DurationCaption, 0).arg("1.0", "1.0", "1.0").arg(245));

    // Ten replies: nine under 100 ms and one at 400; p50 the fifth, p95 and p99 the tenth.
    DistributionChart* replies = page->latencyChart();
    // Bars of a round width from a round start: the axis reads in fifties, not 10, 49, 88.
    EXPECT_EQ(categories(replies->chart()), (QStringList{"0", "50", "100", "150", "200", "250", "300", "350", "400"}));
    EXPECT_EQ(sum(replies->bars()), 10);
    EXPECT_EQ(replies->bars()->at(8), 1);
    EXPECT_EQ(replies->bars()->at(0) + replies->bars()->at(1), 9);
    EXPECT_EQ(replies->caption()->text(), pb::Text(pb::ChartText::LatencyCaption, 0).arg("50", "400", "400").arg(10));
    EXPECT_EQ(replies->chart()->title(), pb::Text(pb::ChartText::LatencyTitle, 0));

    // Another unit's tests: no run of it kept traffic, and the caption says so.
    w->serialEdit()->setText(QStringLiteral("A2-"));
    EXPECT_EQ(page->latencyChart()->bars()->count(), 0);
    EXPECT_TRUE(page->latencyChart()->chart()->axes().isEmpty());
    EXPECT_EQ(sum(page->durationChart()->bars()), 60);
    EXPECT_EQ(replies->caption()->text(), pb::Text(pb::ChartText::NoReplies, 0));

    for (int language : {1, 2}) {
        w->setLanguage(language);
        EXPECT_EQ(tests->chart()->title(), pb::Text(pb::ChartText::DurationTitle, language));
        EXPECT_TRUE(tests->caption()->text().contains(QStringLiteral("p95"))) << language;
    }
}

TEST_F(ChartsTest, ThePageDrawsOnlyWhenShown) {
    RecordsWindow w(store, 0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.serialEdit()->setText(QStringLiteral("A2-"));
    w.serialEdit()->setText(QStringLiteral("A3-"));
    EXPECT_EQ(w.chartsPage()->draws(), 0);
    w.pages()->setCurrentIndex(1);
    EXPECT_EQ(w.chartsPage()->draws(), 1);
    EXPECT_EQ(w.chartsPage()->healthGrid()->cells().size(), 1);  // the filter of then
    w.pages()->setCurrentIndex(0);
    w.pages()->setCurrentIndex(1);
    EXPECT_EQ(w.chartsPage()->draws(), 1);  // nothing changed meanwhile
}

TEST_F(ChartsTest, ClicksNarrowTheListToTheUnitTestsBehindThem) {
    auto w = chartsWindow();
    SocketCell* flagged = nullptr;
    for (SocketCell* cell : w->chartsPage()->healthGrid()->cells())
        if (cell->marked()) flagged = cell;
    ASSERT_NE(flagged, nullptr);
    QTest::mouseClick(flagged, Qt::LeftButton);
    EXPECT_EQ(w->pages()->currentIndex(), 0);
    EXPECT_TRUE(w->narrowedLine()->isVisible());
    EXPECT_EQ(w->narrowedLine()->text(), pb::Text(pb::ChartText::NarrowedSocket, 0).arg("A1", "F1"));
    EXPECT_EQ(pbtest::CutCaptions(*w), QStringList());  // the narrowed line and its button
    auto* model = w->runsView()->model();
    ASSERT_EQ(model->rowCount(), 60);
    for (int row = 0; row < model->rowCount(); ++row)
        EXPECT_TRUE(model->index(row, RecordQueries::RunSerial).data().toString().startsWith("A1-")) << row;

    // A bar of the failures by step: the unit tests failed there, those alone.
    w->pages()->setCurrentIndex(1);
    emit w->chartsPage()->paretoBars()->clicked(1);  // identify: A2, A3 and A4's two each
    EXPECT_EQ(w->pages()->currentIndex(), 0);
    ASSERT_EQ(model->rowCount(), 6);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString serial = model->index(row, RecordQueries::RunSerial).data().toString();
        EXPECT_FALSE(serial.startsWith("A1-")) << serial.toStdString();
        EXPECT_FALSE(serial.startsWith("LOOSE")) << serial.toStdString();
    }
    // The selection exported is the narrowed list's.
    EXPECT_EQ(w->selection().recipeRunIds.size(), 6);

    // Back on the charts: the filter is the same, so are the charts.
    const int draws = w->chartsPage()->draws();
    w->pages()->setCurrentIndex(1);
    EXPECT_EQ(w->chartsPage()->draws(), draws);

    w->findChild<QPushButton*>(QStringLiteral("btWholeFilter"))->click();
    EXPECT_FALSE(w->narrowedLine()->isVisible());
    EXPECT_EQ(model->rowCount(), 245);

    // The same by the list's own filters, each unit test showing its fixture and socket.
    w->fixtureEdit()->setText(QStringLiteral("F1"));
    w->socketEdit()->setText(QStringLiteral("A3"));
    ASSERT_EQ(model->rowCount(), 60);
    EXPECT_FALSE(w->runsView()->isColumnHidden(RecordQueries::RunSocket));
    EXPECT_EQ(model->index(0, RecordQueries::RunFixture).data().toString() + ' ' +
                  model->index(0, RecordQueries::RunSocket).data().toString(), "F1 A3");
    EXPECT_EQ(model->headerData(RecordQueries::RunSocket, Qt::Horizontal).toString(), pb::Text(pb::RecordText::ColSocket, 0));
}

TEST_F(ChartsTest, SwitchingTheLanguageRetitlesThePage) {
    auto w = chartsWindow();
    RecordsChartsPage* page = w->chartsPage();
    for (int language : {1, 2, 0}) {
        w->setLanguage(language);
        EXPECT_EQ(w->pages()->tabText(1), pb::Text(pb::ChartText::TabCharts, language));
        EXPECT_EQ(page->yieldChart()->title(), pb::Text(pb::ChartText::YieldTitle, language));
        EXPECT_EQ(page->paretoChart()->title(), pb::Text(pb::ChartText::ParetoTitle, language));
        EXPECT_EQ(page->passedBars()->label(), pb::Text(pb::ChartText::SeriesPassed, language));
        EXPECT_EQ(page->paretoLine()->name(), pb::Text(pb::ChartText::SeriesCumulative, language));
        QStringList axisTitles;
        for (QAbstractAxis* axis : page->paretoChart()->axes()) axisTitles << axis->titleText();
        EXPECT_TRUE(axisTitles.contains(pb::Text(pb::ChartText::AxisCumulative, language)));
        EXPECT_TRUE(page->healthGrid()->cells().first()->toolTip().contains(u"A1"));
        // A step the recipe left unlabelled is named by its test, in the language.
        EXPECT_EQ(categories(page->paretoChart()).at(1), pb::ShownStepLabel("identify", "identify", language));
    }
}

// "Line report..." saves the report of the filter on top in the window's language: HTML by
// its suffix, else PDF; a file it cannot write is said on the status line.
TEST_F(ChartsTest, TheLineReportButtonSavesTheReportOfTheFilter) {
    auto w = chartsWindow(2);
    auto* button = w->findChild<QPushButton*>(QStringLiteral("btLineReport"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), pb::Text(pb::ChartText::LineReportButton, 2));
    const QString html = dir.filePath(QStringLiteral("line.html"));
    ASSERT_TRUE(w->saveLineReport(html));
    EXPECT_EQ(w->statusLine()->text(), pb::Text(pb::ChartText::LineReportSaved, 2).arg(html));
    QFile page(html);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_EQ(text.count(QLatin1String("<svg")), 3);
    EXPECT_TRUE(text.contains(pb::Text(pb::ChartText::HealthTitle, 2)));
    // 245 unit tests in the window's date range: the totals say so.
    EXPECT_TRUE(text.contains(QLatin1String("<td class=\"n\">245</td>"))) << text.left(1500).toStdString();

    const QString pdf = dir.filePath(QStringLiteral("line"));  // no suffix: a PDF
    ASSERT_TRUE(w->saveLineReport(pdf));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    EXPECT_FALSE(w->saveLineReport(dir.filePath(QStringLiteral("no/such/folder/line.pdf"))));
    EXPECT_FALSE(w->statusLine()->text().contains(pb::Text(pb::ChartText::LineReportSaved, 2).arg(QString())));
}

class ChartsLanguages : public ChartsTest, public ::testing::WithParamInterface<int> {};

// At 1x and at 2x on a 1920x1080 screen (960x540 device independent pixels, the window as
// narrow as its filter row lets it be) every caption of the page fits, every socket's text
// fits its cell and the charts keep room to plot.
TEST_P(ChartsLanguages, CaptionsFitAndPictureIsSaved) {
    const int language = GetParam();
    addTraffic();
    spreadTimes();
    auto w = chartsWindow(language);
    const char* names[] = {"en", "zh-hans", "zh-hant"};
    for (const QSize size : {QSize(1200, 700), QSize(960, 540)}) {
        w->resize(size);
        QCoreApplication::processEvents();
        // The window's filter row keeps it some 1000 pixels wide; the page fits what is left.
        EXPECT_EQ(pbtest::CutCaptions(*w->chartsPage()), QStringList()) << "language " << language;
        for (SocketCell* cell : w->chartsPage()->healthGrid()->cells()) {
            const QFontMetrics metrics = cell->fontMetrics();
            for (const QString& line : cell->text().split(u'\n'))
                EXPECT_LE(metrics.horizontalAdvance(line), cell->contentsRect().width()) << line.toStdString();
        }
        for (QChart* chart : {w->chartsPage()->yieldChart(), w->chartsPage()->paretoChart(),
                              w->chartsPage()->durationChart()->chart(), w->chartsPage()->latencyChart()->chart()})
            EXPECT_GE(chart->plotArea().width(), 120) << size.width();
        const bool twice = size.width() < 1200;
        if (const QString shots = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
            !shots.isEmpty() && (!twice || language == 0)) {
            const QString suffix = twice ? QStringLiteral("-2x") : QString();
            EXPECT_TRUE(w->grab().save(
                shots + QStringLiteral("/records-charts-%1%2.png").arg(QLatin1String(names[language]), suffix)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, ChartsLanguages, ::testing::Values(0, 1, 2));

}  // namespace
