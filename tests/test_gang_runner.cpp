// The gang runner alone, without a window: a fixture's sockets run at once, each in a
// thread of its own against simulated controllers in this process over TCP and ptys;
// the news each socket sends, a stuck input failing one unit only, a socket whose
// controller is not there or whose adapter is not plugged in failing by name while the
// others run, and the records of every run with its fixture and socket.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "gang/GangRunner.h"
#include "i18n/CauseTexts.h"
#include "records/store/RecordStore.h"
#include "tests/support/GangRig.h"
#include "tests/support/QtPrinters.h"

using namespace pb;
using pbtest::GangRig;
using pbtest::SocketWire;

namespace {

// Every piece of news, by socket, and the threads they came from.
struct Heard {
    explicit Heard(GangRunner& gang) {
        QObject::connect(&gang, &GangRunner::news, &gang, [this](const SocketNews& n) {
            news[n.socket] << n;
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        });
    }
    // Points into the list kept here (not into a copy of it).
    const SocketNews* ended(int socket) const {
        const auto kept = news.constFind(socket);
        if (kept == news.cend()) return nullptr;
        for (const SocketNews& n : *kept)
            if (n.kind == SocketNews::Kind::Ended) return &n;
        return nullptr;
    }
    QHash<int, QList<SocketNews>> news;
    bool onMainThread = true;
};

bool RunAll(GangRunner& gang, const QList<GangUnit>& units) {
    QSignalSpy ended(&gang, &GangRunner::allEnded);
    if (!gang.start(units)) return false;
    return ended.wait(120000);
}

QList<GangUnit> Units(int count) {
    QList<GangUnit> units;
    for (int i = 0; i < count; ++i) units.append({i, GangRig::serial(i)});
    return units;
}

}  // namespace

TEST(GangRunner, FourSocketsRunAtOnceTheStuckOneFailsAtItsStepAndEveryRunIsKeptAtItsSocket) {
    GangRig rig({SocketWire::Tcp, SocketWire::Pty, SocketWire::Tcp, SocketWire::Pty});
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    rig.controller(2).setStuckInput(2, true);
    GangRunner gang(rig.fixture, rig.records());
    gang.setPauseDivisor(10);
    Heard heard(gang);
    ASSERT_TRUE(RunAll(gang, Units(4)));
    EXPECT_FALSE(gang.running());
    EXPECT_TRUE(heard.onMainThread);

    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const QList<SocketNews>& news = heard.news[i];
        ASSERT_FALSE(news.isEmpty());
        EXPECT_EQ(news.first().kind, SocketNews::Kind::Started);
        EXPECT_EQ(news.last().kind, SocketNews::Kind::Ended);
        // Both steps began and ended, in order.
        QList<int> started, ended;
        for (const SocketNews& n : news) {
            if (n.kind == SocketNews::Kind::StepStarted) started << n.step;
            if (n.kind == SocketNews::Kind::StepEnded) ended << n.step;
        }
        EXPECT_EQ(started, (QList<int>{0, 1}));
        EXPECT_EQ(ended, (QList<int>{0, 1}));
        EXPECT_EQ(heard.ended(i)->verdict.passed, i != 2);
        EXPECT_GT(heard.ended(i)->recordId, 0);
    }
    const UnitVerdict& stuck = heard.ended(2)->verdict;
    EXPECT_EQ(stuck.failingStep, 1);
    EXPECT_EQ(stuck.cause.code, CauseCode::InputMismatch);
    EXPECT_EQ(stuck.cause.text("inputs"), "01000000");
    const QList<SocketNews>& a3 = heard.news[2];
    const auto dido = std::find_if(a3.begin(), a3.end(), [](const SocketNews& n) {
        return n.kind == SocketNews::Kind::StepEnded && n.step == 1;
    });
    ASSERT_NE(dido, a3.end());
    EXPECT_FALSE(dido->stepVerdict.passed());
    EXPECT_EQ(dido->stepVerdict.cause, stuck.cause);

    records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(rig.recordsPath()).ok());
    const QList<records::RecipeRunRow> runs = store.queries().recipeRuns({});
    ASSERT_EQ(runs.size(), 4);
    QHash<QString, QString> bySocket;
    for (const records::RecipeRunRow& run : runs) {
        EXPECT_EQ(run.fixture, "Gang 4-up");
        EXPECT_EQ(run.operatorName, "Lin");
        EXPECT_EQ(run.station, "line-3");
        EXPECT_EQ(run.steps.size(), 2);
        bySocket.insert(run.socket, run.verdict + ' ' + run.scannedSerial);
    }
    EXPECT_EQ(bySocket, (QHash<QString, QString>{{"A1", "pass SN000001"}, {"A2", "pass SN000002"},
                                                 {"A3", "fail SN000003"}, {"A4", "pass SN000004"}}));

    // The same threads take the next run: the stuck unit replaced, the wrong label in A1
    // fails at identify, and a socket left out runs nothing.
    rig.controller(2).setStuckInput(2, std::nullopt);
    heard.news.clear();
    ASSERT_TRUE(RunAll(gang, {{0, "SN999999"}, {2, GangRig::serial(2)}}));
    EXPECT_FALSE(heard.ended(0)->verdict.passed);
    EXPECT_EQ(heard.ended(0)->verdict.failingStep, 0);
    EXPECT_TRUE(heard.ended(2)->verdict.passed);
    EXPECT_FALSE(heard.news.contains(1));
    EXPECT_EQ(store.queries().recipeRuns({}).size(), 6);
}

TEST(GangRunner, ASocketWithNoControllerOrNoAdapterFailsByNameAndTheOthersPass) {
    GangRig rig({SocketWire::Tcp, SocketWire::Absent, SocketWire::Pty});
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    // A fourth socket on an adapter that is not plugged in.
    FixtureSocket adapter;
    adapter.name = "A4";
    adapter.link = FixtureSocket::Link::Adapter;
    adapter.address = "FT232R:A10K3Z9Q";
    rig.fixture.sockets << adapter;
    GangRunner gang(rig.fixture, rig.records());
    gang.setPauseDivisor(10);
    gang.setPorts([] { return QList<PortFacts>{}; });
    Heard heard(gang);
    ASSERT_TRUE(RunAll(gang, Units(4)));

    EXPECT_TRUE(heard.ended(0)->verdict.passed);
    EXPECT_TRUE(heard.ended(2)->verdict.passed);
    for (int i : {1, 3}) {
        SCOPED_TRACE(i);
        const UnitVerdict& v = heard.ended(i)->verdict;
        EXPECT_FALSE(v.passed);
        EXPECT_EQ(v.cause.code, CauseCode::LinkOpenFailed);
    }
    EXPECT_EQ(heard.ended(1)->verdict.cause.text("kind"), "Refused");
    EXPECT_EQ(CauseText(heard.ended(3)->verdict.cause, 0),
              "the link could not be opened: the adapter FT232R:A10K3Z9Q is not plugged in");
    EXPECT_EQ(CauseText(heard.ended(3)->verdict.cause, 2), "無法開啟連線：轉接器 FT232R:A10K3Z9Q 沒有插上");
    EXPECT_EQ(gang.linkOf(3).failure, SocketLink::Failure::AdapterNotFound);
    // The closed port's unit is kept, failing at its first step; the adapter's had no link.
    records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(rig.recordsPath()).ok());
    QStringList kept;
    for (const records::RecipeRunRow& run : store.queries().recipeRuns({})) kept << run.socket + ' ' + run.verdict;
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"A1 pass", "A2 fail", "A3 pass"}));
}

TEST(GangRunner, StartRefusesASocketTwiceOrOneStillRunning) {
    GangRig rig({SocketWire::Tcp, SocketWire::Tcp});
    GangRunner gang(rig.fixture, {});
    gang.setPauseDivisor(10);
    EXPECT_FALSE(gang.start({{0, "SN000001"}, {0, "SN000001"}}));
    EXPECT_FALSE(gang.start({{5, "SN000001"}}));
    EXPECT_FALSE(gang.running());
    QSignalSpy ended(&gang, &GangRunner::allEnded);
    ASSERT_TRUE(gang.start({{0, GangRig::serial(0)}}));
    EXPECT_TRUE(gang.running(0));
    EXPECT_FALSE(gang.start({{0, GangRig::serial(0)}}));
    EXPECT_TRUE(ended.wait(60000));
    EXPECT_FALSE(gang.running(0));
}

TEST(GangRunner, GoneWhileItsUnitsRunEachStopsAndIsKeptAsInterrupted) {
    const QByteArray recipe = R"({"schema": 1, "product": "Long DI/DO", "steps": [
 {"kind": "identify", "models": [6]},
 {"kind": "dido", "cycles": 10000, "patterns": [{"outputs": "0000", "inputs": "00000000"}]}]})";
    GangRig rig({SocketWire::Tcp, SocketWire::Pty, SocketWire::Tcp}, recipe);
    ASSERT_TRUE(rig.mistakes.isEmpty()) << rig.mistakes.join('\n').toStdString();
    {
        GangRunner gang(rig.fixture, rig.records());
        gang.setPauseDivisor(10);
        QSet<int> inDido;
        QObject::connect(&gang, &GangRunner::news, &gang, [&](const SocketNews& n) {
            if (n.kind == SocketNews::Kind::StepStarted && n.step == 1) inDido << n.socket;
        });
        ASSERT_TRUE(gang.start(Units(3)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return inDido.size() == 3; }, 60000));
    }
    records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(rig.recordsPath()).ok());
    QStringList kept;
    for (const records::RecipeRunRow& run : store.queries().recipeRuns({})) kept << run.socket + ' ' + run.verdict;
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"A1 interrupted", "A2 interrupted", "A3 interrupted"}));
}
