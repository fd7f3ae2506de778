// The window tells a run observer of every test clicked, as a run database would hear it:
// the connect run with the controller it identified, and runs the user stopped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "catalogue/TestNames.h"
#include "app/TfrmModule.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingRunObserver.h"

using namespace pb;
using namespace pbtest;

TEST(WindowRunRecords, EveryClickIsOneRunWithItsOwnDetail) {
    QApplication::setQuitOnLastWindowClosed(false);
    sim::Controller controller(sim::Model::V6, "0123");
    sim::TcpServer server(controller);
    server.listen(0);
    TfrmModule window;
    RecordingRunObserver runs;
    window.setRunObserver(&runs);
    auto& u = window.ui();
    u.pcPort->setCurrentWidget(u.tsNet);
    u.edIP->setText("127.0.0.1");
    u.edPort->setText(QString::number(server.port()));
    u.sbID->setValue(123);
    window.show();

    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(runs.reports.size(), 1);
    EXPECT_EQ(pb::TestName(runs.last().test), "connect");
    EXPECT_EQ(runs.last().outcome, RunOutcome::Ok);
    EXPECT_EQ(runs.last().statusText, u.pnMsg->text());
    EXPECT_EQ(runs.last().link.kind, LinkKind::Net);
    EXPECT_EQ(runs.last().link.tcpPort, QString::number(server.port()));
    ASSERT_EQ(runs.identities.size(), 1);
    EXPECT_EQ(runs.identities[0].deviceId, "0123");
    EXPECT_EQ(runs.identities[0].modelKind, 6);
    EXPECT_EQ(runs.identities[0].versionText, u.pnVER->text());
    EXPECT_TRUE(u.pnSN->text().contains(runs.identities[0].serialNumber));

    // The polling test stopped by a second click once a record is on show (each stays
    // half a second: the click lands well before the last of the five).
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!u.pnPoolingData->text().startsWith("#")) return;
        watch.stop();
        QTest::mouseClick(u.btnPooling, Qt::LeftButton);
    });
    watch.start(10);
    QTest::mouseClick(u.btnPooling, Qt::LeftButton);
    ASSERT_EQ(runs.reports.size(), 2);
    EXPECT_EQ(pb::TestName(runs.last().test), "polling");
    EXPECT_EQ(runs.last().outcome, RunOutcome::Interrupted);
    EXPECT_EQ(runs.last().statusText, "Command ok.");  // shown as before
    EXPECT_GE(runs.last().detail.value("records").toInt(), 1);
    EXPECT_LT(runs.last().detail.value("records").toInt(), 5);

    // A link that does not open is a run too, with the settings that failed.
    u.edPort->setText("1");
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    ASSERT_EQ(runs.reports.size(), 3);
    EXPECT_EQ(pb::TestName(runs.last().test), "set-date");
    EXPECT_EQ(runs.last().outcome, RunOutcome::OpenFailed);
    EXPECT_EQ(runs.last().link.tcpPort, "1");
    EXPECT_EQ(runs.starts.size(), 3);
    EXPECT_EQ(runs.identities.size(), 1);
}
