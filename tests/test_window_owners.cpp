// What the main window hands to others: the windows beside it (made once, shown again,
// in the window's language, closed with it, and only after a test it closes under) and
// its unit records (a shared server set or dropped later, closed in order, leaving no
// connection and no uploader behind).
#include <gtest/gtest.h>

#include <atomic>

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QPointer>
#include <QSqlDatabase>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "app/RecordsModels.h"
#include "app/RecordsWindow.h"
#include "app/SecondaryWindows.h"
#include "app/StationRecipe.h"
#include "app/StationWindow.h"
#include "app/TfrmModule.h"
#include "app/TrafficMonitorWindow.h"
#include "app/WindowRecords.h"
#include "i18n/RecordsTexts.h"
#include "i18n/TrafficTexts.h"
#include "records/store/RecordStore.h"
#include "records/sync/RecordsUploader.h"
#include "records/store/RunRecordsObserver.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "traffic/TrafficLog.h"

using namespace pb;

namespace {

// No server answers here: the socket's folder does not exist.
const QString kAwayServer = QStringLiteral("postgresql://postgres@%2Fnonexistent%2Fpanelbench/records");

// Records and settings of one test alone.
struct Scratch {
    Scratch() {
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QApplication::setQuitOnLastWindowClosed(false);
    }
    ~Scratch() {
        qputenv("XDG_DATA_HOME", oldData);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir data, config;
};

void WriteRun(records::RecordStore& store, const QString& procedure) {
    records::RunStart start;
    start.procedure = procedure;
    start.linkText = QStringLiteral("127.0.0.1:5003");
    start.startMs = QDateTime::currentMSecsSinceEpoch();
    store.writer().endRun(store.writer().beginRun(start), {start.startMs + 10, records::Outcome::Ok, {}, {}, {}});
}

TrafficRecord Frame(const QByteArray& bytes) {
    TrafficRecord r;
    r.bytes = bytes;
    return r;
}

// The station on the bench's recipe, in `language`.
std::unique_ptr<StationWindow> Station(int language) {
    StationRecipe loaded = LoadStationRecipe(QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json"), 0);
    if (!loaded.recipe) return nullptr;
    return std::make_unique<StationWindow>(std::move(*loaded.recipe), [] { return LinkSettings{}; }, language);
}

// Runs f from the event loop once the link has sent a command carrying text.
void WhenSent(Link& link, const char* text, std::function<void()> f) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&link, &Link::traffic, [=](const TrafficRecord& r) {
        if (r.direction != TrafficRecord::Direction::Sent || !r.bytes.contains(text)) return;
        QObject::disconnect(*connection);
        QTimer::singleShot(0, f);
    });
}

}  // namespace

TEST(SecondaryWindows, EachIsMadeOnceShownAgainInTheLanguageAndClosedWithTheRest) {
    Scratch scratch;
    WindowRecords records({}, {});
    SecondaryWindows windows(records);
    EXPECT_EQ(windows.recordsWindow(), nullptr);
    EXPECT_EQ(windows.trafficMonitorWindow(), nullptr);
    EXPECT_FALSE(windows.recordsShown());

    RecordsWindow& shown = windows.showRecords(1);
    EXPECT_TRUE(shown.isVisible());
    EXPECT_EQ(shown.windowTitle(), Text(RecordText::WindowTitle, 1));
    // A run that ends while it is open is there at once; asked for again, the same window
    // (with what the user set in it) comes back, read again.
    WriteRun(records.store(), QStringLiteral("reboot"));
    windows.refreshRecords();
    EXPECT_EQ(shown.runsModel()->rowCount(), 1);
    shown.close();
    EXPECT_FALSE(windows.recordsShown());
    shown.serialEdit()->setText(QStringLiteral("25V5"));
    EXPECT_EQ(&windows.showRecords(0), &shown);
    EXPECT_TRUE(windows.recordsShown());
    EXPECT_EQ(shown.serialEdit()->text(), QStringLiteral("25V5"));

    // The log keeps the frames from before its monitor was first opened.
    windows.trafficLog().add(Frame("0001AC\r"));
    TrafficMonitorWindow& monitor = windows.showTrafficMonitor(2);
    windows.trafficLog().flush();
    EXPECT_EQ(monitor.table()->model()->rowCount(), 1);
    EXPECT_EQ(monitor.windowTitle(), Text(TrafficText::WindowTitle, 2));
    monitor.close();
    EXPECT_EQ(&windows.showTrafficMonitor(2), &monitor);
    EXPECT_TRUE(monitor.isVisible());

    // The language reaches every window made.
    windows.setLanguage(0);
    EXPECT_EQ(shown.windowTitle(), Text(RecordText::WindowTitle, 0));
    EXPECT_EQ(monitor.windowTitle(), Text(TrafficText::WindowTitle, 0));
    EXPECT_EQ(windows.trafficLog().language(), 0);

    windows.closeAll();
    EXPECT_FALSE(shown.isVisible());
    EXPECT_FALSE(monitor.isVisible());
    EXPECT_EQ(windows.recordsWindow(), &shown);  // kept, to be shown again
}

TEST(SecondaryWindows, ANewStationReplacesTheLastAndItsFramesReachTheLog) {
    Scratch scratch;
    WindowRecords records({}, {});
    SecondaryWindows windows(records);
    // The log follows the language until its monitor opens.
    windows.setLanguage(2);
    EXPECT_EQ(windows.trafficLog().language(), 2);

    std::unique_ptr<StationWindow> made = Station(2);
    ASSERT_NE(made, nullptr);
    QPointer<StationWindow> first = made.get();
    EXPECT_EQ(&windows.showStation(std::move(made)), first.data());
    EXPECT_TRUE(first->isVisible());
    emit first->traffic(Frame("0001AC\r"));
    windows.trafficLog().flush();
    EXPECT_EQ(windows.trafficLog().rowCount(), 1);

    made = Station(2);
    ASSERT_NE(made, nullptr);
    StationWindow* second = made.get();
    windows.showStation(std::move(made));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(windows.stationWindow(), second);
    emit second->traffic(Frame("0001DB\r"));
    windows.trafficLog().flush();
    EXPECT_EQ(windows.trafficLog().rowCount(), 2);
    windows.setLanguage(1);
    EXPECT_EQ(second->language(), 1);
    windows.closeAll();
    EXPECT_FALSE(second->isVisible());
}

TEST(WindowRecordsOwner, AServerSetLaterQueuesTheRunsFromThenOnAndDroppedQueuesNoMore) {
    Scratch scratch;
    WindowRecords records({}, QStringLiteral("Ann"));
    ASSERT_TRUE(records.store().isOpen());
    EXPECT_EQ(records.uploader(), nullptr);
    EXPECT_EQ(&records.shownStore(), &records.store());
    EXPECT_EQ(records.sharedStore(), nullptr);
    EXPECT_EQ(records.observer().operatorName(), QStringLiteral("Ann"));
    WriteRun(records.store(), QStringLiteral("reboot"));
    EXPECT_EQ(records.store().outbox().pendingUploads(), 0);

    // Set now: this run waits for the server; the records shown are this PC's, saying why.
    records.setUrl(kAwayServer);
    ASSERT_NE(records.uploader(), nullptr);
    EXPECT_EQ(records.uploader()->url(), kAwayServer);
    WriteRun(records.store(), QStringLiteral("reboot"));
    EXPECT_EQ(records.store().outbox().pendingUploads(), 1);
    EXPECT_EQ(&records.shownStore(), &records.store());
    EXPECT_EQ(records.server().error, records::RecordsError::ServerUnreachable);

    // The uploader's word comes through, on this thread.
    qint64 said = -2;
    QObject::connect(&records, &WindowRecords::progress, [&](qint64 waiting, const records::RecordsStatus&) {
        said = waiting;
    });
    records.runEnded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return said == 1; }, 60000));
    EXPECT_EQ(records.waiting(), 1);

    // Dropped: no uploader, no second store, no word (not even one the uploader sent just
    // before it stopped, still on its way here); the run queued stays, no new one joins it.
    std::atomic_bool sent{false};
    QObject::connect(records.uploader(), &records::RecordsUploader::progress, records.uploader(),
                     [&] { sent = true; }, Qt::DirectConnection);
    records.runEnded();
    for (int i = 0; i < 60000 && !sent; ++i) QThread::msleep(1);  // on its way, not yet here
    ASSERT_TRUE(sent);
    records.setUrl({});
    QCoreApplication::processEvents();
    EXPECT_EQ(records.uploader(), nullptr);
    EXPECT_EQ(records.sharedStore(), nullptr);
    EXPECT_EQ(records.waiting(), -1);
    EXPECT_TRUE(records.server().ok());
    WriteRun(records.store(), QStringLiteral("reboot"));
    EXPECT_EQ(records.store().outbox().pendingUploads(), 1);
    EXPECT_EQ(records.store().queries().runs({}).size(), 3);
    records.setOperator(QStringLiteral("Bo"));
    EXPECT_EQ(records.observer().operatorName(), QStringLiteral("Bo"));
}

TEST(WindowRecordsOwner, ClosingStopsTheUploaderAndClosesEveryConnection) {
    Scratch scratch;
    ASSERT_EQ(QSqlDatabase::connectionNames(), QStringList());
    {
        WindowRecords records(kAwayServer, {});
        ASSERT_NE(records.uploader(), nullptr);
        WriteRun(records.store(), QStringLiteral("reboot"));
        bool tried = false;
        QObject::connect(&records, &WindowRecords::progress, [&] { tried = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return tried; }, 60000));
        records.shownStore();  // the second store, tried
        // This PC's store, the uploader's own on its thread, and the server's tried.
        EXPECT_GE(QSqlDatabase::connectionNames().size(), 2);
        records.runEnded();  // a try under way as it closes
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), QStringList());
    // The file is free and the run still queued for the next start.
    records::RecordStore again;
    again.setOutbox(true);
    ASSERT_TRUE(again.openSqlite().ok());
    EXPECT_EQ(again.outbox().pendingUploads(), 1);
}

// A close asked for while a polling test runs: the windows beside this one stay until the
// test has ended and its run is kept and shown, then they close with it.
TEST(WindowOwners, ACloseDuringATestClosesTheWindowsBesideItOnceTheRunIsKept) {
    Scratch scratch;
    sim::Controller controller(sim::Model::Kv410, QStringLiteral("0000"));
    sim::TcpServer server(controller);
    server.listen(0);
    TfrmModule window;
    auto& u = window.ui();
    u.pcPort->setCurrentWidget(u.tsNet);
    u.edIP->setText(QStringLiteral("127.0.0.1"));
    u.edPort->setText(QString::number(server.port()));
    window.show();
    u.mnuRecords->trigger();
    u.mnuTrafficMonitor->trigger();
    RecordsWindow* records = window.recordsWindow();
    TrafficMonitorWindow* traffic = window.trafficMonitorWindow();
    ASSERT_TRUE(records && traffic);

    bool besideAfterClose = false;
    WhenSent(window.link(), "QI", [&] {
        window.close();
        besideAfterClose = window.isVisible() && records->isVisible() && traffic->isVisible();
    });
    QTest::mouseClick(u.btnPooling, Qt::LeftButton);
    EXPECT_TRUE(besideAfterClose);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(records->isVisible());
    EXPECT_FALSE(traffic->isVisible());
    // Kept, and read into the records window before it closed.
    const auto runs = window.records().queries().runs({});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].procedure, QStringLiteral("polling"));
    EXPECT_EQ(records->runsModel()->rowCount(), 1);
    // The same windows, made once, when asked for again.
    u.mnuRecords->trigger();
    EXPECT_EQ(window.recordsWindow(), records);
}
