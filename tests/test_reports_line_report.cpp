// The line report over a seeded store: the HTML is well-formed XHTML with an <svg> per
// chart whose bars stand for the line's figures (one bar of the passed colour per day that
// passed any, heights in proportion to the counts; the Pareto's bars most first; a cell per
// socket, the flagged one in the flagged colour), its tables hold the figures' numbers, and
// the PDF is a PDF of the pages expected drawn as vectors (no images), in every language.
// With PANELBENCH_SCREENSHOT_DIR set, the PDFs and the HTML are left there to be looked at.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "i18n/ChartTexts.h"
#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"
#include "reports/ChartColours.h"
#include "reports/LineReport.h"
#include "tests/support/SeededUnitTests.h"

using namespace pb::records;
using namespace pb::reports;

namespace {

qint64 Local(int day, int hour, int minute = 0) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute)).toMSecsSinceEpoch();
}

// Three days on a 4-up fixture: socket A1 fails 12 of 24 at its DI/DO step, the others
// 1 of 24 at identify; the 9th has no pass at all; two units are tested again.
struct SeededLine {
    SeededLine() {
        EXPECT_TRUE(store.openSqlite(dir.filePath("records.sqlite")).ok());
        int n = 0;
        for (const char* socket : {"A1", "A2", "A3", "A4"})
            for (int i = 0; i < 24; ++i) {
                const bool a1 = QLatin1String(socket) == QLatin1String("A1");
                const bool fails = a1 ? i < 12 : i == 0;
                const int step = a1 ? 1 : 0;
                pbtest::WriteUnitTest(store, {QStringLiteral("%1-%2").arg(socket).arg(i), Local(8, 8) + ++n * 1000,
                                              fails ? "fail" : "pass", "line-1", "4-up", socket, fails ? step : -1,
                                              fails ? pb::Cause::of(pb::CauseCode::InputMismatch, {i + 1, "0001", "00000100", "00000000", 3})
                                                    : pb::Cause{}});
            }
        pbtest::WriteUnitTest(store, {"A1-0", Local(9, 9), "fail", "line-1", {}, {}, 2, pb::Cause::of(pb::CauseCode::NotProgrammed, {7})});
        pbtest::WriteUnitTest(store, {"N1", Local(9, 10), "interrupted"});
        pbtest::WriteUnitTest(store, {"A1-1", Local(10, 9), "pass"});
        pbtest::WriteUnitTest(store, {"L2", Local(10, 11), "pass", "line-2"});
    }
    QTemporaryDir dir;
    RecordStore store;
};

struct Rect {
    QString fill, stroke;
    double height = 0;
};

// The <rect>s of the <div id="..."> holding an SVG, each with the fill and stroke it
// inherits from the groups around it.
QList<Rect> RectsOf(const QString& html, const QString& id) {
    QXmlStreamReader xml(html);
    QList<Rect> rects;
    QList<std::pair<QString, QString>> paint;  // fill and stroke of the open elements
    int inside = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes a = xml.attributes();
            if (inside == 0 && a.value(QLatin1String("id")) == id) inside = 1;
            else if (inside > 0) ++inside;
            auto [fill, stroke] = paint.isEmpty() ? std::pair<QString, QString>() : paint.last();
            if (a.hasAttribute(QLatin1String("fill"))) fill = a.value(QLatin1String("fill")).toString();
            if (a.hasAttribute(QLatin1String("stroke"))) stroke = a.value(QLatin1String("stroke")).toString();
            paint.append({fill, stroke});
            if (inside > 0 && xml.name() == QLatin1String("rect"))
                rects.append({fill, stroke, a.value(QLatin1String("height")).toDouble()});
        } else if (xml.isEndElement()) {
            paint.removeLast();
            if (inside > 0) --inside;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    return rects;
}

QList<double> HeightsIn(const QList<Rect>& rects, const QColor& colour) {
    QList<double> heights;
    for (const Rect& r : rects)
        if (r.fill.compare(colour.name(), Qt::CaseInsensitive) == 0) heights << r.height;
    return heights;
}

// The cells of <table id="...">, row by row (the head row first).
QList<QStringList> TableOf(const QString& html, const QString& id) {
    QXmlStreamReader xml(html);
    QList<QStringList> rows;
    bool inside = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("table"))
            inside = xml.attributes().value(QLatin1String("id")) == id;
        else if (inside && xml.isStartElement() && xml.name() == QLatin1String("tr"))
            rows.append(QStringList());
        else if (inside && xml.isStartElement() && (xml.name() == QLatin1String("td") || xml.name() == QLatin1String("th")))
            rows.last() << xml.readElementText();
        else if (xml.isEndElement() && xml.name() == QLatin1String("table"))
            inside = false;
    }
    return rows;
}

// Heights in proportion to `values` (one scale for all of them), zeros drawing nothing.
void ExpectProportional(const QList<double>& heights, const QList<qint64>& values) {
    QList<qint64> drawn;
    for (qint64 v : values)
        if (v > 0) drawn << v;
    ASSERT_EQ(heights.size(), drawn.size());
    for (qsizetype i = 0; i < drawn.size(); ++i)
        EXPECT_NEAR(heights[i] / double(drawn[i]), heights[0] / double(drawn[0]), 1e-3) << "bar " << i;
}

TEST(LineReport, HtmlChartsAndTablesHoldTheLinesFigures) {
    SeededLine line;
    RunFilter filter;
    filter.station = QStringLiteral("line-1");
    LineFigures figures(line.store.database());
    const QList<YieldRow> days = figures.yields(filter, FigureBy::Day);
    const QList<FailureRow> steps = figures.failuresByStep(filter);
    const QList<SocketHealth> sockets = figures.fixtureHealth(filter);
    const YieldRow total = figures.total(filter);
    ASSERT_EQ(days.size(), 3);
    ASSERT_EQ(steps.size(), 3);

    const LineReportData data = ReadLineReport(line.store.database(), filter);
    ASSERT_TRUE(data.error.isEmpty()) << data.error.toStdString();
    const QString html = LineReportHtml(data, 0);
    EXPECT_EQ(html.count(QLatin1String("<svg")), 3) << "the days, the Pareto and the sockets";
    EXPECT_TRUE(html.contains(QStringLiteral("<h1>Line report: station line-1</h1>")));

    // The days: a passed bar for each day that passed any, a failed bar likewise, on one scale.
    const QList<Rect> yield = RectsOf(html, QStringLiteral("yield-chart"));
    QList<qint64> passed, failed;
    for (const YieldRow& d : days) passed << d.passed, failed << d.failed;
    EXPECT_EQ(passed.count(0), 1) << "the 9th passed nothing";
    const QList<double> passedHeights = HeightsIn(yield, kPassedColour);
    ExpectProportional(passedHeights, passed);
    ExpectProportional(HeightsIn(yield, kFailedColour), failed);
    EXPECT_NEAR(HeightsIn(yield, kFailedColour).first() / double(failed.first()),
                passedHeights.first() / double(passed.first()), 1e-3);

    // The Pareto: a bar per failing step, most first.
    QList<qint64> failures;
    for (const FailureRow& f : steps) failures << f.failures;
    const QList<double> pareto = HeightsIn(RectsOf(html, QStringLiteral("pareto-chart")), kFailedColour);
    ExpectProportional(pareto, failures);
    EXPECT_TRUE(std::is_sorted(pareto.rbegin(), pareto.rend()));

    // The sockets: a cell each, the flagged one bordered in the flagged colour.
    const QList<Rect> cells = RectsOf(html, QStringLiteral("socket-grid"));
    ASSERT_EQ(cells.size(), sockets.size());
    for (qsizetype i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].fill, RateColour(sockets[i].rate()).name()) << i;
        EXPECT_EQ(cells[i].stroke.compare(kFlaggedColour.name(), Qt::CaseInsensitive) == 0, sockets[i].flagged) << i;
    }
    EXPECT_EQ(std::count_if(sockets.begin(), sockets.end(), [](const SocketHealth& s) { return s.flagged; }), 1);

    // The tables: the figures' numbers, row by row.
    const QList<QStringList> totals = TableOf(html, QStringLiteral("totals"));
    ASSERT_EQ(totals.size(), 2);
    EXPECT_EQ(totals[1], (QStringList{QString::number(total.units), QString::number(total.tests),
                                      QString::number(total.passed), QString::number(total.failed),
                                      ReportPercent(total.firstPassYield()), ReportPercent(total.finalYield()),
                                      QString::number(total.retests())}));
    const QList<QStringList> yieldRows = TableOf(html, QStringLiteral("yield"));
    ASSERT_EQ(yieldRows.size(), days.size() + 1);
    for (qsizetype i = 0; i < days.size(); ++i)
        EXPECT_EQ(yieldRows[i + 1], (QStringList{days[i].key, QString::number(days[i].units),
                                                 QString::number(days[i].tests), QString::number(days[i].passed),
                                                 QString::number(days[i].failed),
                                                 ReportPercent(days[i].firstPassYield()),
                                                 ReportPercent(days[i].finalYield()), QString::number(days[i].retests())}));
    const QList<QStringList> paretoRows = TableOf(html, QStringLiteral("pareto"));
    ASSERT_EQ(paretoRows.size(), steps.size() + 1);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(paretoRows[i + 1][2], QString::number(steps[i].failures));
        EXPECT_EQ(paretoRows[i + 1][4], ReportPercent(steps[i].cumulative));
    }
    const QList<QStringList> healthRows = TableOf(html, QStringLiteral("health"));
    ASSERT_EQ(healthRows.size(), sockets.size() + 1);
    for (qsizetype i = 0; i < sockets.size(); ++i) {
        EXPECT_EQ(healthRows[i + 1][1], sockets[i].socket);
        EXPECT_EQ(healthRows[i + 1][3], QString::number(sockets[i].failed));
        EXPECT_EQ(healthRows[i + 1][7], sockets[i].flagged ? "!" : "");
    }
}

TEST(LineReport, TheFilterInWordsAndAnEmptyFilter) {
    RunFilter f;
    EXPECT_EQ(FilterInWords(f, 0), pb::Text(pb::ChartText::FilterAll, 0));
    // --to takes in its whole day: the bound is the next midnight, said as the day itself.
    f.fromMs = QDate(2026, 12, 1).startOfDay().toMSecsSinceEpoch();
    f.toMs = QDate(2026, 12, 10).startOfDay().toMSecsSinceEpoch();
    f.fixture = QStringLiteral("4-up");
    EXPECT_EQ(FilterInWords(f, 0), "from 2026-12-01, to 2026-12-09, fixture 4-up");
    f.toMs = QDateTime(QDate(2026, 12, 9), QTime(14, 30)).toMSecsSinceEpoch();
    EXPECT_TRUE(FilterInWords(f, 2).contains(QStringLiteral("2026-12-09 14:30")));
    EXPECT_TRUE(FilterInWords(f, 2).contains(QStringLiteral("治具 4-up")));

    // A filter that selects nothing says so instead of drawing empty charts.
    SeededLine line;
    RunFilter none;
    none.station = QStringLiteral("no-such-line");
    const QString html = LineReportHtml(ReadLineReport(line.store.database(), none), 1);
    EXPECT_EQ(html.count(QLatin1String("<svg")), 0);
    EXPECT_TRUE(html.contains(pb::Text(pb::ChartText::NoUnitTests, 1)));
    EXPECT_TRUE(html.contains(pb::Text(pb::ChartText::NoFixtures, 1)));
}

// The PDF's page drawing: its Flate-compressed streams but the fonts', inflated.
QByteArray PageDrawing(const QByteArray& pdf) {
    QByteArray drawing;
    for (qsizetype at = pdf.indexOf(">>\nstream\n"); at >= 0; at = pdf.indexOf(">>\nstream\n", at + 1)) {
        const QByteArray dictionary = pdf.mid(pdf.lastIndexOf("<<", at), at - pdf.lastIndexOf("<<", at));
        const qsizetype start = at + 10, end = pdf.indexOf("endstream", start);
        if (!dictionary.contains("/FlateDecode") || dictionary.contains("/Length1") || end < 0) continue;
        const QByteArray body = pdf.mid(start, end - start);
        QByteArray sized(4, '\0');
        const quint32 room = quint32(body.size()) * 64 + 4096;
        for (int i = 0; i < 4; ++i) sized[i] = char((room >> (24 - 8 * i)) & 0xff);
        drawing += qUncompress(sized + body);
    }
    return drawing;
}

// Paths filled (bars, cells, the tables' heads): "f" and "f*" ending a path.
qsizetype Fills(const QByteArray& drawing) {
    qsizetype fills = 0;
    for (const QByteArray& line : drawing.split('\n'))
        fills += line == "f" || line == "f*" || line.endsWith(" f") || line.endsWith(" f*");
    return fills;
}

TEST(LineReport, PdfPagesAreVectorDrawingInEveryLanguage) {
    SeededLine line;
    const LineReportData data = ReadLineReport(line.store.database(), {});
    for (int language = 0; language < 3; ++language) {
        SCOPED_TRACE(language);
        const QString path = line.dir.filePath(QStringLiteral("line-%1.pdf").arg(language));
        const pb::SaveResult saved = WriteLineReportPdf(data, language, path);
        ASSERT_TRUE(saved.ok) << saved.error.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        EXPECT_TRUE(pdf.startsWith("%PDF-1."));
        EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
        // The totals and days, the failures, the fixtures.
        EXPECT_EQ(QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b(?!s)"))), 3);
        // No image XObjects (the page's ProcSet names /ImageB and /ImageC whatever it holds).
        EXPECT_FALSE(QString::fromLatin1(pdf).contains(QRegularExpression(QStringLiteral("/Subtype\\s*/Image"))));
        // Bars, cells and table borders as filled and stroked paths; the text as text.
        const QByteArray drawing = PageDrawing(pdf);
        EXPECT_GE(Fills(drawing), 5 + 3 + 4) << "five day bars, three step bars, four sockets";
        EXPECT_TRUE(drawing.contains("BT")) << "text is drawn as text";
        // For a look: the PDF and the HTML in each language where PANELBENCH_SCREENSHOT_DIR says.
        if (const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !folder.isEmpty()) {
            const QString name = QDir(folder).filePath(QStringLiteral("line-report-%1").arg(language));
            QFile::remove(name + QStringLiteral(".pdf"));
            EXPECT_TRUE(QFile::copy(path, name + QStringLiteral(".pdf")));
            EXPECT_TRUE(pb::WriteWholeFile(name + QStringLiteral(".html"), LineReportHtml(data, language).toUtf8()).ok);
        }
    }
    EXPECT_FALSE(WriteLineReportPdf(data, 0, line.dir.filePath("no/such/folder/x.pdf")).ok);
}

}  // namespace
