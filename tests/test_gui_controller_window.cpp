// The real window, offscreen, against the simulated controller on 127.0.0.1: the buttons
// clicked as a user would, what the window shows, and closing it while a test runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <QTest>
#include <QTimer>

#include "app/TfrmModule.h"
#include "app/WindowColours.h"
#include "i18n/Messages.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/EventWitness.h"
#include "tests/support/QtPrinters.h"

using namespace pb;
using namespace pbtest;

namespace {

const QColor kYellow = ColourFromBgr(kBgrYellow);
const QColor kRed = ColourFromBgr(kBgrRed);

// A window whose link page points at a simulated controller.
struct WindowOnSim {
    WindowOnSim(sim::Model model, const QString& id) : controller(model, id), server(controller) {
        // A window closed by a test must not end the application's loops.
        QApplication::setQuitOnLastWindowClosed(false);
        server.listen(0);
        auto& u = window.ui();
        u.pcPort->setCurrentWidget(u.tsNet);
        u.edIP->setText("127.0.0.1");
        u.edPort->setText(QString::number(server.port()));
        window.show();
    }
    Ui::TfrmModule& ui() { return window.ui(); }

    sim::Controller controller;
    sim::TcpServer server;
    TfrmModule window;
};

// Runs f from the event loop once the link has sent the nth command carrying text: the
// test is then running, in the wait for that command's reply, as a user's click would
// come. Judged by what happened, not by a time that a busy machine can stretch.
void whenSent(Link& link, const char* text, int nth, std::function<void()> f) {
    auto seen = std::make_shared<int>(0);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&link, &Link::traffic, [=](const TrafficRecord& r) {
        if (r.direction != TrafficRecord::Direction::Sent || !r.bytes.contains(text)) return;
        if (++*seen < nth) return;
        QObject::disconnect(*connection);
        QTimer::singleShot(0, f);
    });
}

}  // namespace

TEST(GuiControllerWindow, ConnectDidoSetDateAndCommandAsAUserWould) {
    WindowOnSim s(sim::Model::V5, "0123");
    auto& u = s.ui();
    u.sbID->setValue(123);
    EXPECT_EQ(u.pnID->text(), "0123");
    WaitWitness witness(s.window.link());

    // Connect.
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    EXPECT_EQ(s.controller.commands(), QStringList({"0123AC", "0123DB", "0123AS"}));
    EXPECT_EQ(u.pnVER->text(), "KV320MX -V5.10.02");
    EXPECT_EQ(u.pnSN->text(), "S/N:25V50123   ID:0123");
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_EQ(u.shComm->brushColor(), kYellow);
    EXPECT_EQ(s.window.state().modelKind, 3);
    EXPECT_TRUE(u.pcMain->isEnabled());
    EXPECT_TRUE(s.window.isEnabled());

    // DI/DO: start, look at the window while it runs, click again.
    s.controller.clearCommands();
    s.controller.setInputs("10100001");
    u.chkDO2->setChecked(true);
    QString captionWhileRunning;
    bool connectEnabledWhileRunning = true, commandTabWhileRunning = true;
    QColor di1WhileRunning, di2WhileRunning;
    whenSent(s.window.link(), "DG0", 2, [&] {
        captionWhileRunning = u.btnDIDO->text();
        connectEnabledWhileRunning = u.btnConnect->isEnabled();
        commandTabWhileRunning = u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsCommand));
        di1WhileRunning = u.shDI1->brushColor();
        di2WhileRunning = u.shDI2->brushColor();
        EXPECT_EQ(u.pnMsg->text(), "DIDO test");
        QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
    });
    QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
    EXPECT_EQ(captionWhileRunning, "Cancel test");
    EXPECT_FALSE(connectEnabledWhileRunning);
    EXPECT_FALSE(commandTabWhileRunning);
    EXPECT_EQ(di1WhileRunning, kYellow);
    EXPECT_EQ(di2WhileRunning, QColor(Qt::white));
    const QStringList dido = s.controller.commands();
    EXPECT_GE(dido.count("0123DG0"), 2);
    EXPECT_EQ(dido.count("0123JC00210002"), dido.count("0123DG0"));
    EXPECT_EQ(dido.last(), "0123JD");
    EXPECT_EQ(dido.count("0123JD"), 1);
    EXPECT_EQ(u.btnDIDO->text(), "DIDO test");
    EXPECT_TRUE(u.btnConnect->isEnabled());
    EXPECT_TRUE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsCommand)));
    EXPECT_FALSE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsFirmware)));
    EXPECT_FALSE(u.chkDO2->isChecked());
    for (Lamp* lamp : u.shDI) EXPECT_EQ(lamp->brushColor(), QColor(Qt::white));
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");

    // Set date and time.
    s.controller.clearCommands();
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    ASSERT_EQ(s.controller.commands().size(), 1);
    EXPECT_TRUE(s.controller.commands()[0].startsWith("0123AA" +
                                                      QDate::currentDate().toString("yyyyMMdd")));

    // Controller command.
    s.controller.clearCommands();
    u.edCommandSend->setText("AB");
    QTest::mouseClick(u.btnCommand, Qt::LeftButton);
    EXPECT_EQ(s.controller.commands(), QStringList({"0123AB"}));
    EXPECT_TRUE(u.edCommandRecv->text().startsWith("<ETX>0123AB"))
        << u.edCommandRecv->text().toStdString();
    EXPECT_TRUE(u.edCommandRecv->text().endsWith("<CR>"));
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");

    // A command that cannot be framed is refused.
    s.controller.clearCommands();
    u.edCommandSend->setText(QString::fromUtf8("AB\xc3\xa9"));
    QTest::mouseClick(u.btnCommand, Qt::LeftButton);
    EXPECT_TRUE(s.controller.commands().isEmpty());
    EXPECT_EQ(u.pnMsg->text(), "Command error! the command has a character that cannot be sent");
    EXPECT_EQ(u.shComm->brushColor(), kRed);

    // Every reply wait served the window's events (the click at 400 ms is one of them).
    EXPECT_GT(witness.waits(), 5);
    EXPECT_EQ(witness.servedWaits(), witness.waits());
}

TEST(GuiControllerWindow, LanguageChangedDuringTheDidoTestKeepsCancelCaption) {
    WindowOnSim s(sim::Model::V5, "0000");
    auto& u = s.ui();
    QString captionAfterChange;
    whenSent(s.window.link(), "DG0", 2, [&] {
        u.mnuTraditional->trigger();
        captionAfterChange = u.btnDIDO->text();
        whenSent(s.window.link(), "DG0", 1, [&] { QTest::mouseClick(u.btnDIDO, Qt::LeftButton); });
    });
    QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
    EXPECT_EQ(captionAfterChange, Msg(MsgId::CancelTest, pb::Language::TraditionalChinese));
    EXPECT_EQ(u.btnDIDO->text(), Msg(MsgId::DidoTest, pb::Language::TraditionalChinese));
    u.mnuEnglish->trigger();
    EXPECT_EQ(u.btnDIDO->text(), "DIDO test");
}

TEST(GuiControllerWindow, ExitDuringTheDidoLoopStopsTheTestThenCloses) {
    WindowOnSim s(sim::Model::V5, "0000");
    auto& u = s.ui();
    bool visibleAfterExit = false;
    whenSent(s.window.link(), "DG0", 2, [&] {
        u.mnuExit->trigger();  // the window is enabled during the loop
        visibleAfterExit = s.window.isVisible();
    });
    QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
    EXPECT_TRUE(visibleAfterExit);  // not destroyed under the running test
    EXPECT_FALSE(s.window.isVisible());
    EXPECT_EQ(s.controller.commands().last(), "0000JD");
    EXPECT_EQ(s.controller.commands().count("0000JD"), 1);
    EXPECT_FALSE(s.window.link().isOpen());
    EXPECT_FALSE(s.window.state().didoRunning);
}

TEST(GuiControllerWindow, CloseDuringTheFactoryInitialWaitClosesOnceItEnded) {
    WindowOnSim s(sim::Model::Old20, "012");
    ShortenedEventLoopClock clock(20);  // 16000 ms become 800 ms
    s.window.setProcedureClock(&clock);
    s.window.state().deviceId = "012";
    s.window.state().modelKind = 4;
    bool closedAtOnce = true;
    whenSent(s.window.link(), "AI", 1, [&] { closedAtOnce = s.window.close(); });
    QTest::mouseClick(s.ui().btnInitial, Qt::LeftButton);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(clock.asked, QList<int>({100, 16000}));
    EXPECT_EQ(s.controller.commands(), QStringList({"012AI", "012AS"}));
    EXPECT_EQ(s.ui().pnMsg->text(), "Command ok.");
    EXPECT_FALSE(s.window.isVisible());
}

TEST(GuiControllerWindow, NoControllerShowsConnectError) {
    WindowOnSim s(sim::Model::V5, "0000");
    s.server.close();
    QTest::mouseClick(s.ui().btnConnect, Qt::LeftButton);
    // The cause after the usual text; the facts behind it on the panel's tooltip.
    EXPECT_EQ(s.ui().pnMsg->text(), "Connect device error! connection refused");
    EXPECT_TRUE(s.ui().pnMsg->toolTip().contains("127.0.0.1")) << s.ui().pnMsg->toolTip().toStdString();
    EXPECT_EQ(s.ui().shComm->brushColor(), kRed);
    EXPECT_TRUE(s.window.isEnabled());
}

TEST(GuiControllerWindow, PollingShowsEachRecordThenOpensTheCommandAndFirmwarePages) {
    WindowOnSim s(sim::Model::V6, "0000");
    auto& u = s.ui();
    const auto tabShown = [&](QWidget* page) { return u.pcMain->isTabVisible(u.pcMain->indexOf(page)); };
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    ASSERT_FALSE(tabShown(u.tsFirmware));
    ASSERT_FALSE(u.mnuFirmwareFile->isVisible());
    s.controller.clearCommands();
    const sim::Event last = s.controller.events().events().last();
    WaitWitness witness(s.window.link());

    QString caption, status;
    bool didoEnabled = true, connectEnabled = true, commandTab = true, windowEnabled = false;
    whenSent(s.window.link(), "QI", 2, [&] {  // the first record is on show
        caption = u.btnPooling->text();
        status = u.pnMsg->text();
        didoEnabled = u.btnDIDO->isEnabled();
        connectEnabled = u.btnConnect->isEnabled();
        commandTab = tabShown(u.tsCommand);
        windowEnabled = s.window.isEnabled();
    });
    QTest::mouseClick(u.btnPooling, Qt::LeftButton);  // five records, 2 s in all

    EXPECT_EQ(caption, "Cancel test");
    EXPECT_EQ(status, "Pooling data test");
    EXPECT_FALSE(didoEnabled);
    EXPECT_FALSE(connectEnabled);
    EXPECT_FALSE(commandTab);
    EXPECT_TRUE(windowEnabled);
    EXPECT_GT(witness.waits(), 10);  // IE, IB, then QI and PI for each of five records
    EXPECT_EQ(witness.servedWaits(), witness.waits());

    EXPECT_EQ(s.controller.commands().count("0000QI"), 5);
    EXPECT_EQ(u.pnPoolingDate->text(), last.time.toString("yyyy/MM/dd HH:mm:ss"));
    EXPECT_EQ(u.pnPoolingData->text(), "#5 Input off, input 3");
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_EQ(u.btnPooling->text(), "Pooling data test");
    EXPECT_TRUE(u.btnDIDO->isEnabled());
    EXPECT_TRUE(u.btnConnect->isEnabled());
    EXPECT_TRUE(tabShown(u.tsCommand));
    EXPECT_TRUE(tabShown(u.tsFirmware));
    // The firmware page comes with the menu entry that chooses its file.
    EXPECT_TRUE(u.mnuFirmwareFile->isVisible());
    EXPECT_TRUE(u.mnuLine1->isVisible());
    EXPECT_FALSE(s.window.link().isOpen());

    // The DI/DO test hides the firmware page again, and the menu entry with it.
    whenSent(s.window.link(), "DG0", 1, [&] { QTest::mouseClick(u.btnDIDO, Qt::LeftButton); });
    QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
    EXPECT_FALSE(tabShown(u.tsFirmware));
    EXPECT_FALSE(u.mnuFirmwareFile->isVisible());
    EXPECT_FALSE(u.mnuLine1->isVisible());
}

TEST(GuiControllerWindow, LanguageChangedDuringPollingKeepsCancelCaption) {
    WindowOnSim s(sim::Model::Kv410, "0000");
    auto& u = s.ui();
    QString captionAfterChange;
    whenSent(s.window.link(), "IB", 1, [&] {
        u.mnuSimplified->trigger();
        captionAfterChange = u.btnPooling->text();
    });
    QTest::mouseClick(u.btnPooling, Qt::LeftButton);
    EXPECT_EQ(captionAfterChange, Msg(MsgId::CancelTest, pb::Language::SimplifiedChinese));
    EXPECT_EQ(u.btnPooling->text(), Msg(MsgId::PoolingDataTest, pb::Language::SimplifiedChinese));
    EXPECT_EQ(u.pnMsg->text(), Msg(MsgId::CommandOk, pb::Language::SimplifiedChinese));
}

TEST(GuiControllerWindow, ClosingDuringPollingStopsItAfterTheRecordInHand) {
    WindowOnSim s(sim::Model::Kv410, "0000");
    auto& u = s.ui();
    bool visibleAfterClose = false;
    whenSent(s.window.link(), "QI", 1, [&] {  // the record in hand
        s.window.close();
        visibleAfterClose = s.window.isVisible();
    });
    QTest::mouseClick(u.btnPooling, Qt::LeftButton);
    EXPECT_TRUE(visibleAfterClose);  // not destroyed under the running test
    EXPECT_FALSE(s.window.isVisible());
    EXPECT_EQ(s.controller.commands().count("0000QI"), 1);
    EXPECT_EQ(s.controller.commands().last(), "0000PI");
    EXPECT_FALSE(s.window.link().isOpen());
    EXPECT_FALSE(s.window.state().pollingRunning);
}
