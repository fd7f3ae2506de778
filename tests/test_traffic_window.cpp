// The traffic monitor window over rows of a real exchange with the simulated
// controller: its texts fit in each language (and, when PANELBENCH_SCREENSHOT_DIR names
// a folder, a picture is saved there), it follows new rows unless scrolled up, and its
// pause, find, copy and save act on the log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/TrafficMonitorWindow.h"
#include "i18n/TrafficTexts.h"
#include "link/Frame.h"
#include "tests/support/SimHarness.h"
#include "traffic/TrafficLog.h"

using namespace pb;
using namespace pbtest;

namespace {

// A bench session: identify, a checksum fault, a silent command, the loader's first frames.
void RunExchange(TrafficLog& log) {
    SimHarness h(sim::Model::V5, QString(), Wire::Pty);
    ASSERT_TRUE(h.serving());
    QObject::connect(&h.link, &Link::traffic, &log, &TrafficLog::add);
    ASSERT_TRUE(h.link.OpenLink(h.view.settings));
    h.link.SendCrcCommand("0000AC");
    h.link.SendCrcCommand("0000AS");
    h.link.SendCrcCommand("0000DB");
    h.link.SendCrcCommand("0000DG0");
    h.controller.faults().badChecksum = true;
    h.link.SendCrcCommand("0000AA20240517093000");
    h.controller.faults().badChecksum = false;
    h.controller.faults().silentPrefixes = {QStringLiteral("JD")};
    h.link.SendCrcCommand("0000JD");
    h.controller.faults().silentPrefixes.clear();
    h.link.SendCrcCommand("0000Zx33BB");
    h.link.SendCrcCommand("0000Zv0000");
    h.link.CloseLink();
    log.flush();
}

// Texts wider than their control, as "name: text".
QStringList CutTexts(TrafficMonitorWindow& w, const TrafficLog& log) {
    QStringList cut;
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->fontMetrics().horizontalAdvance(b->text()) > b->width() - 8) cut << b->objectName() + ": " + b->text();
    for (QLabel* l : w.findChildren<QLabel*>())
        if (l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width())
            cut << l->objectName() + ": " + l->text();
    const QHeaderView* head = w.table()->horizontalHeader();
    for (int c = 0; c < TrafficLog::ColumnCount; ++c) {
        const QString text = log.headerData(c, Qt::Horizontal).toString();
        if (head->fontMetrics().horizontalAdvance(text) + 8 > head->sectionSize(c)) cut << "column: " + text;
    }
    // The short cells (time, direction, verdict) are never cut.
    for (int r = 0; r < log.rowCount(); ++r)
        for (int c : {int(TrafficLog::Time), int(TrafficLog::Direction), int(TrafficLog::Checksum)})
            if (w.table()->fontMetrics().horizontalAdvance(log.cellText(r, c)) + 8 > head->sectionSize(c))
                cut << "cell: " + log.cellText(r, c);
    return cut;
}

struct LanguageShot {
    int index;
    const char* file;
};

class TrafficWindowLanguages : public ::testing::TestWithParam<LanguageShot> {};

TEST_P(TrafficWindowLanguages, TextsFitAndPictureIsSaved) {
    TrafficLog log;
    RunExchange(log);
    ASSERT_EQ(log.rowCount(), 16);
    TrafficMonitorWindow w(&log);
    w.setLanguage(GetParam().index);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.table()->selectRow(4);
    QCoreApplication::processEvents();

    EXPECT_EQ(w.windowTitle(), Text(TrafficText::WindowTitle, GetParam().index));
    EXPECT_EQ(log.cellText(1, TrafficLog::Direction), Text(TrafficText::Received, GetParam().index));
    EXPECT_EQ(CutTexts(w, log), QStringList()) << GetParam().file;
    // Every column shows at first, without scrolling sideways.
    EXPECT_LE(w.table()->horizontalHeader()->length(), w.table()->viewport()->width()) << GetParam().file;

    const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        const QString file = folder + "/" + QString::fromLatin1(GetParam().file);
        EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Window, TrafficWindowLanguages,
                         ::testing::Values(LanguageShot{0, "traffic-en.png"}, LanguageShot{1, "traffic-zh-hans.png"},
                                           LanguageShot{2, "traffic-zh-hant.png"}),
                         [](const auto& info) { return std::to_string(info.param.index); });

TrafficRecord Sent(const QByteArray& text) { return {TrafficRecord::Direction::Sent, BuildCrcFrame(text), 0, true, {}}; }

TEST(TrafficWindow, FollowsNewRowsUnlessScrolledUp) {
    TrafficLog log;
    TrafficMonitorWindow w(&log);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QScrollBar* scroll = w.table()->verticalScrollBar();
    for (int i = 0; i < 300; ++i) log.add(Sent("0000JC" + QByteArray::number(i)));
    log.flush();
    QCoreApplication::processEvents();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum());
    EXPECT_TRUE(w.followsNewRows());

    scroll->setValue(10);  // the user reads further up
    EXPECT_FALSE(w.followsNewRows());
    for (int i = 0; i < 50; ++i) log.add(Sent("0000DG0"));
    log.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(scroll->value(), 10);

    scroll->setValue(scroll->maximum());  // back at the bottom: follows again
    for (int i = 0; i < 50; ++i) log.add(Sent("0000AS"));
    log.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(scroll->value(), scroll->maximum());
    EXPECT_EQ(log.rowCount(), 400);
}

TEST(TrafficWindow, PauseFindCopyAndSaveActOnTheLog) {
    TrafficLog log;
    TrafficMonitorWindow w(&log);
    for (const char* text : {"0000AC", "0000DG0", "0000AS"}) log.add(Sent(text));
    log.flush();

    auto* pause = w.findChild<QPushButton*>("btnPause");
    ASSERT_NE(pause, nullptr);
    pause->click();
    EXPECT_TRUE(log.isPaused());
    EXPECT_EQ(pause->text(), "Resume");
    log.add(Sent("0000JD"));
    EXPECT_EQ(w.statusLabel()->text(), Text(TrafficText::PausedHeld, 0).arg(1));
    pause->click();
    EXPECT_FALSE(log.isPaused());
    EXPECT_EQ(log.rowCount(), 4);
    EXPECT_EQ(w.statusLabel()->text(), "4 frames");

    w.findField()->setText("dg0");
    w.findNext();
    EXPECT_EQ(w.table()->currentIndex().row(), 1);
    w.findField()->setText("nothing like it");
    w.findNext();
    EXPECT_TRUE(w.statusLabel()->text().contains("\"nothing like it\" not found"));

    w.table()->selectRow(1);
    w.copySelection();
    const QStringList copied = QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 2);
    EXPECT_TRUE(copied.at(1).contains("<SOH>0000DG0<STX>"));

    QTemporaryDir folder;
    ASSERT_TRUE(w.saveTo(folder.filePath("t.csv")));
    QFile csv(folder.filePath("t.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().startsWith("time,direction,bytes,"));
    ASSERT_TRUE(w.saveTo(folder.filePath("t.txt")));
    QFile text(folder.filePath("t.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.readAll().startsWith("Time\tDirection\t"));
    EXPECT_FALSE(w.saveTo(folder.filePath("missing/t.csv")));
    EXPECT_TRUE(w.statusLabel()->text().contains("Cannot save"));

    w.findChild<QPushButton*>("btnClear")->click();
    EXPECT_EQ(log.rowCount(), 0);
}

}  // namespace
