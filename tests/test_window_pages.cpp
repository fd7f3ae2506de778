// The main window's pages on their own: each button asks for its test with what the page's
// controls say, and the window itself stays a frame of at most 600 lines.
#include <gtest/gtest.h>

#include <QDir>

#include "app/CommandPage.h"
#include "app/TestPage.h"

namespace {

TEST(WindowPages, EachButtonAsksForItsOwnTestWithThePagesValues) {
    QList<pb::TestRequest> asked;
    const pb::RunRequest record = [&](const pb::TestRequest& r) { asked << r; };
    TestPage tests;
    CommandPage commands;
    tests.runsThrough(record);
    commands.runsThrough(record);

    tests.cmbAlarm->setCurrentIndex(3);
    for (QPushButton* b : {tests.btnSetDate, tests.btnAlarm, tests.btnDIDO, tests.btnPooling, tests.btnInitial, tests.btnReboot}) b->click();
    using pb::TestId;
    ASSERT_EQ(asked.size(), 6);
    const QList<TestId> expected = {TestId::SetDate, TestId::Alarm, TestId::Dido, TestId::Polling, TestId::FactoryInitial, TestId::Reboot};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(asked[i].test, expected[i]) << i;
    EXPECT_EQ(asked[1].params.alarm.level, 3);
    EXPECT_FALSE(asked[2].params.dido.needsAnsweredRead) << "the technician reads the lamps";

    asked.clear();
    commands.edCommandSend->setText("AB12");
    commands.cmbModuleType->setCurrentIndex(2);
    commands.cmbModuleId->setCurrentIndex(4);
    commands.edModuleCommandSend->setText("B7");
    commands.btnCommand->click();
    commands.btnModuleCommand->click();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0].test, TestId::ControllerCommand);
    EXPECT_EQ(asked[0].params.console.text, "AB12");
    EXPECT_EQ(asked[1].test, TestId::ModuleCommand);
    EXPECT_EQ(asked[1].params.console.moduleType, 2);
    EXPECT_EQ(asked[1].params.console.moduleNumber, "5");
    EXPECT_EQ(asked[1].params.console.text, "B7");
}

TEST(WindowPages, TheMainWindowsOwnFilesStayWithinSixHundredLines) {
    const QDir app(QStringLiteral(PANELBENCH_SOURCE_DIR "/app"));
    const QStringList files = app.entryList({QStringLiteral("TfrmModule*")}, QDir::Files);
    ASSERT_GE(files.size(), 4) << "the window, its controls and their headers";
    qsizetype lines = 0;
    for (const QString& name : files) {
        QFile file(app.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray text = file.readAll();
        lines += text.count('\n') + (text.endsWith('\n') || text.isEmpty() ? 0 : 1);
    }
    EXPECT_LE(lines, 600) << files.join(u' ').toStdString();
}

}  // namespace
