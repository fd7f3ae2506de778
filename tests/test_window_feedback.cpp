// The real window, offscreen, against simulated controllers on 127.0.0.1 and on a
// pseudo-terminal: nothing of a unit stays on show once another answers or none does,
// the consoles send on Enter and keep their commands for Up and Down, and a refused
// command leaves no old reply beside its error.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTcpServer>
#include <QTest>

#include "app/TfrmModule.h"
#include "app/WindowColours.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/QtPrinters.h"



namespace {

const QColor kWhite(Qt::white);

struct WindowOnTwoUnits {
    WindowOnTwoUnits()
        : first(sim::Model::V5, "0001"), second(sim::Model::V6, "0002"), tcp(first), pty(second) {
        QApplication::setQuitOnLastWindowClosed(false);
        first.setSerial("SN000001");
        second.setSerial("SN000002");
        tcp.listen(0);
        pty.open();
        window.setProcedureClock(&clock);  // the polling test's pauses cost nothing
        window.show();
        onFirst();
    }
    Ui::TfrmModule& ui() { return window.ui(); }

    // The ID every unit answers besides its own, as a user looking for any unit sets it.
    void onFirst() {
        ui().sbID->setValue(0);
        ui().pcPort->setCurrentWidget(ui().tsNet);
        ui().edIP->setText("127.0.0.1");
        ui().edPort->setText(QString::number(tcp.port()));
    }
    void onSecond() {
        ui().sbID->setValue(0);
        ui().pcPort->setCurrentWidget(ui().tsCom);
        ui().cmbPort->setEditText(pty.slavePath());
    }
    void onNobody() {
        QTcpServer probe;  // free a moment ago, closed now
        probe.listen(QHostAddress::LocalHost, 0);
        ui().pcPort->setCurrentWidget(ui().tsNet);
        ui().edPort->setText(QString::number(probe.serverPort()));
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    bool lampsWhite() {
        for (pb::Lamp* lamp : ui().tsTest->shDI)
            if (lamp->brushColor() != kWhite) return false;
        return true;
    }

    sim::Controller first, second;
    sim::TcpServer tcp;
    sim::PtyServer pty;
    pb::RecordingClock clock;
    TfrmModule window;
};

}  // namespace

TEST(WindowFeedback, NothingOfAUnitStaysOnShowOnceAnotherAnswersOrNoneDoes) {
    WindowOnTwoUnits w;
    auto& u = w.ui();
    w.click(u.btnConnect);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    const QString firstVersion = u.pnVER->text();
    EXPECT_TRUE(u.pnSN->text().contains("SN000001"));
    w.click(u.btnPooling);  // the first unit's records end on show
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    ASSERT_FALSE(u.pnPoolingData->text().isEmpty());
    // Lamps as a DI/DO test shows inputs that are on.
    u.tsTest->setInputLamp(1, pb::InputLamp::Yellow);
    u.tsTest->setInputLamp(8, pb::InputLamp::Yellow);

    // Another unit answers on another line: only its own facts are shown.
    w.onSecond();
    QString versionWhileAsking = QStringLiteral("(not asked)");
    QString pollingWhileAsking;
    bool lampsWhiteWhileAsking = false;
    QObject::connect(&w.second, &sim::Controller::logged, &w.second, [&](const sim::LogEntry& e) {
        if (e.dir != sim::LogEntry::Received || !e.text.endsWith("AC") || !versionWhileAsking.startsWith('('))
            return;
        versionWhileAsking = u.pnVER->text();
        pollingWhileAsking = u.pnPoolingDate->text() + u.pnPoolingData->text();
        lampsWhiteWhileAsking = w.lampsWhite();
    });
    w.click(u.btnConnect);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_EQ(versionWhileAsking, "");  // cleared before anything was asked
    EXPECT_EQ(pollingWhileAsking, "");
    EXPECT_TRUE(lampsWhiteWhileAsking);
    EXPECT_FALSE(u.pnVER->text().isEmpty());
    EXPECT_NE(u.pnVER->text(), firstVersion);
    EXPECT_TRUE(u.pnSN->text().contains("SN000002"));
    EXPECT_EQ(u.pnPoolingDate->text(), "");
    EXPECT_EQ(u.pnPoolingData->text(), "");
    EXPECT_TRUE(w.lampsWhite());

    // Nobody answers: the identity panels are empty, not the last unit's.
    w.click(u.btnPooling);
    u.tsTest->setInputLamp(3, pb::InputLamp::Yellow);
    w.onNobody();
    w.click(u.btnConnect);
    EXPECT_TRUE(u.pnMsg->text().startsWith("Connect device error!")) << u.pnMsg->text().toStdString();
    EXPECT_EQ(u.pnVER->text(), "");
    EXPECT_EQ(u.pnSN->text(), "");
    EXPECT_EQ(u.pnPoolingDate->text(), "");
    EXPECT_EQ(u.pnPoolingData->text(), "");
    EXPECT_TRUE(w.lampsWhite());

    // A unit that answers its ID but not its version: the panels stay empty too.
    w.onFirst();
    w.click(u.btnConnect);
    w.first.faults().silentPrefixes = {"DB"};
    w.click(u.btnConnect);
    EXPECT_EQ(u.pnMsg->text(), "Command error! no reply to DB");
    EXPECT_EQ(u.pnVER->text(), "");
    EXPECT_EQ(u.pnSN->text(), "");
}

TEST(WindowFeedback, ConsolesSendOnEnterAndWalkTheirCommandsWithUpAndDown) {
    WindowOnTwoUnits w;
    auto& u = w.ui();
    w.click(u.btnConnect);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    u.pcMain->setCurrentWidget(u.tsCommand);
    w.first.clearCommands();

    auto type = [](QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    };
    auto key = [](QLineEdit* edit, Qt::Key k) { QTest::keyClick(edit, k); };

    type(u.edCommandSend, "AB");
    key(u.edCommandSend, Qt::Key_Return);
    EXPECT_EQ(w.first.commands(), QStringList({"0001AB"}));
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_TRUE(u.edCommandRecv->text().startsWith("<ETX>0001AB")) << u.edCommandRecv->text().toStdString();
    type(u.edCommandSend, "DB");
    key(u.edCommandSend, Qt::Key_Enter);  // the keypad's Enter as well
    type(u.edCommandSend, "DB");
    QTest::mouseClick(u.btnCommand, Qt::LeftButton);  // the button remembers too, once
    EXPECT_EQ(w.first.commands(), QStringList({"0001AB", "0001DB", "0001DB"}));
    EXPECT_EQ(u.tsCommand->controllerHistory().commands(), QStringList({"AB", "DB"}));

    // Up from the newest, which the field still shows, goes to the one before it;
    // Down comes back to what was typed.
    key(u.edCommandSend, Qt::Key_Up);
    EXPECT_EQ(u.edCommandSend->text(), "AB");
    key(u.edCommandSend, Qt::Key_Up);
    EXPECT_EQ(u.edCommandSend->text(), "AB");  // the oldest stays
    key(u.edCommandSend, Qt::Key_Down);
    EXPECT_EQ(u.edCommandSend->text(), "DB");
    type(u.edCommandSend, "XY");
    key(u.edCommandSend, Qt::Key_Up);
    EXPECT_EQ(u.edCommandSend->text(), "DB");
    key(u.edCommandSend, Qt::Key_Up);
    EXPECT_EQ(u.edCommandSend->text(), "AB");
    key(u.edCommandSend, Qt::Key_Down);
    key(u.edCommandSend, Qt::Key_Down);
    EXPECT_EQ(u.edCommandSend->text(), "XY");

    // A command the controller leaves unanswered: no earlier reply beside the error.
    ASSERT_FALSE(u.edCommandRecv->text().isEmpty());
    w.first.faults().silentPrefixes = {"XY"};
    key(u.edCommandSend, Qt::Key_Return);
    EXPECT_EQ(u.pnMsg->text(), "Command error! no reply to XY");
    EXPECT_EQ(u.edCommandRecv->text(), "");

    // The module console has its own field, Enter and commands.
    w.first.clearCommands();
    type(u.edModuleCommandSend, "B");
    key(u.edModuleCommandSend, Qt::Key_Return);
    EXPECT_EQ(w.first.commands(), QStringList({"0001DDA1B"}));
    EXPECT_FALSE(u.edModuleCommandRecv->text().isEmpty());
    EXPECT_EQ(u.tsCommand->moduleHistory().commands(), QStringList({"B"}));
    w.first.faults().silentPrefixes = {"DDA1C"};
    type(u.edModuleCommandSend, "C");
    key(u.edModuleCommandSend, Qt::Key_Return);
    EXPECT_EQ(u.edModuleCommandRecv->text(), "");
    key(u.edModuleCommandSend, Qt::Key_Up);
    EXPECT_EQ(u.edModuleCommandSend->text(), "B");
}

// Typed as a user types: into whatever has the focus, never into a field chosen by the test.
TEST(WindowFeedback, AConsoleKeepsTheFocusInItsFieldAfterEnter) {
    WindowOnTwoUnits w;
    auto& u = w.ui();
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.click(u.btnConnect);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    u.pcMain->setCurrentWidget(u.tsCommand);
    auto typed = [](const QString& text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };

    for (QLineEdit* field : {u.edCommandSend, u.edModuleCommandSend}) {
        SCOPED_TRACE(field->objectName().toStdString());
        w.first.clearCommands();
        field->clear();
        field->setFocus();
        typed("AB");
        EXPECT_EQ(w.first.commands().size(), 1);
        EXPECT_EQ(QApplication::focusWidget(), field);
        // The next command goes out without a click in the field, and Up recalls.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        typed("DB");
        EXPECT_EQ(w.first.commands().size(), 2);
        EXPECT_EQ(QApplication::focusWidget(), field);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        EXPECT_EQ(field->text(), "AB");
    }
}

TEST(WindowFeedback, AConsoleKeepsItsLastFiftyCommands) {
    QLineEdit edit;
    pb::CommandHistory history(&edit);
    for (int i = 0; i < 60; ++i) history.remember(QStringLiteral("C%1").arg(i));
    history.remember(QString());  // an empty command is sent but not kept
    ASSERT_EQ(history.commands().size(), pb::CommandHistory::kMostKept);
    EXPECT_EQ(history.commands().first(), "C10");
    EXPECT_EQ(history.commands().last(), "C59");
    edit.setText("draft");
    for (int i = 0; i < 55; ++i) QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), "C10");
    for (int i = 0; i < 55; ++i) QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "draft");
}
