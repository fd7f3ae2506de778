// `panelbench-cli run --fixture FILE` against simulated controllers as real programs, over
// TCP and ptys at once: every socket runs the fixture's recipe, one unit failing never
// stops the others, each unit's events name its socket, and each recipe run is kept with
// the fixture's and the socket's names.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

#include "records/store/RecordStore.h"
#include "tests/support/CliRig.h"

using namespace pbtest;

namespace {

const QString kRecipe = QStringLiteral(PANELBENCH_SOURCE_DIR "/examples/recipes/bench-check.json");

struct Home {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath("data"));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath("config"));
        return e;
    }();
    CliResult run(const QStringList& args) const { return RunCli(args, 120000, env); }
    QString records() const { return dir.filePath(QStringLiteral("data/NORDAX/PanelBench/records.sqlite")); }

    // A fixture file of the bench check, its sockets as given ({"name": ..., link}).
    QString fixture(const QStringList& sockets) const {
        const QString path = dir.filePath("fixture.json");
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(QStringLiteral("{\"schema\": 1, \"fixture\": \"Bench 4-up\", \"recipe\": \"%1\",\n \"sockets\": [\n  %2]}\n")
                    .arg(kRecipe, sockets.join(QStringLiteral(",\n  ")))
                    .toUtf8());
        return path;
    }
};

// A socket on the simulator's own link: a pty as "serial", a TCP port as "tcp".
QString Socket(const QString& name, const SimProcess& sim) {
    return QStringLiteral("{\"name\": \"%1\", \"%2\": \"%3\"}")
        .arg(name, sim.link().value(0) == QLatin1String("--serial") ? QStringLiteral("serial") : QStringLiteral("tcp"),
             sim.address());
}

// A loopback port nobody listens on.
QString ClosedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// Each socket's result event.
QHash<QString, QJsonObject> ResultsBySocket(const CliResult& r) {
    QHash<QString, QJsonObject> results;
    for (const QJsonObject& o : r.eventsOf("result")) results.insert(o.value("socket").toString(), o);
    return results;
}

// Four bench-check controllers: A1 and A3 over TCP, A2 and A4 over ptys; A3's input 2 is
// stuck on, so its DI/DO step fails.
struct FourUp {
    SimProcess a1{{"--model", "v5", "--serial", "SN000001"}};
    SimProcess a2{{"--model", "v5", "--serial", "SN000002"}, true};
    SimProcess a3{{"--model", "v5", "--serial", "SN000003", "--stuck-input", "2=on"}};
    SimProcess a4{{"--model", "v5", "--serial", "SN000004"}, true};
    bool serving() const { return a1.serving() && a2.serving() && a3.serving() && a4.serving(); }
    QStringList sockets() const {
        return {Socket("A1", a1), Socket("A2", a2), Socket("A3", a3), Socket("A4", a4)};
    }
};

}  // namespace

TEST(CliFixture, FourSocketsRunAtOnceThreePassAndTheStuckOneFailsAtItsStep) {
    Home home;
    FourUp units;
    ASSERT_TRUE(units.serving());
    const CliResult r = home.run({"run", "--fixture", home.fixture(units.sockets()), "--json", "--operator", "Bo"});
    EXPECT_EQ(r.exitCode, 5) << r.err.constData() << r.out.constData();
    const QHash<QString, QJsonObject> results = ResultsBySocket(r);
    ASSERT_EQ(results.size(), 4) << r.out.constData();
    for (const char* passed : {"A1", "A2", "A4"}) {
        EXPECT_EQ(results[passed].value("exit").toInt(), 0) << passed << results[passed].value("message").toString().toStdString();
        EXPECT_EQ(results[passed].value("detail").toObject().value("verdict").toString(), "pass") << passed;
    }
    const QJsonObject failed = results["A3"].value("detail").toObject();
    EXPECT_EQ(results["A3"].value("exit").toInt(), 5);
    EXPECT_EQ(failed.value("failingStep").toInt(), 3);  // counted from 1
    EXPECT_EQ(failed.value("steps").toArray()[2].toObject().value("kind").toString(), "dido");
    EXPECT_TRUE(results["A3"].value("message").toString().contains("inputs 01000000, expected 00000000"))
        << results["A3"].value("message").toString().toStdString();
    EXPECT_EQ(failed.value("cause").toObject().value("code").toString(), "input-mismatch");
    EXPECT_EQ(failed.value("socket").toString(), "A3");
    EXPECT_EQ(failed.value("fixture").toString(), "Bench 4-up");
    // Every event of a unit names its socket, beside its link.
    for (const QJsonObject& o : r.events()) {
        EXPECT_FALSE(o.value("socket").toString().isEmpty()) << QJsonDocument(o).toJson().constData();
        if (o.value("socket").toString() == "A2") {
            EXPECT_EQ(o.value("link").toString(), units.a2.address());
        }
    }
    // Each controller was asked by its own unit, over its own link.
    for (const SimProcess* sim : {&units.a1, &units.a2, &units.a3, &units.a4})
        EXPECT_TRUE(sim->received().join(' ').contains("DG0"));

    // Four recipe runs in the records, each at its socket.
    {
        pb::records::RecordStore store;
        ASSERT_TRUE(store.openSqlite(home.records()).ok());
        const QList<pb::records::RecipeRunRow> runs = store.queries().recipeRuns({});
        ASSERT_EQ(runs.size(), 4);
        QHash<QString, QString> verdicts;
        for (const pb::records::RecipeRunRow& run : runs) {
            EXPECT_EQ(run.fixture, "Bench 4-up");
            EXPECT_EQ(run.operatorName, "Bo");
            verdicts.insert(run.socket, run.verdict + u' ' + run.unitSerial);
        }
        EXPECT_EQ(verdicts, (QHash<QString, QString>{{"A1", "pass SN000001"}, {"A2", "pass SN000002"},
                                                     {"A3", "fail SN000003"}, {"A4", "pass SN000004"}}));
    }
    // The records command finds a socket's unit test and its runs.
    const CliResult listed = home.run({"records", "list", "--fixture", "Bench 4-up", "--socket", "A3", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.constData();
    ASSERT_EQ(listed.eventsOf("recipe-run").size(), 1);
    EXPECT_EQ(listed.eventsOf("recipe-run")[0].value("serial").toString(), "SN000003");
    EXPECT_EQ(listed.eventsOf("run").size(), 3);  // connect, set-date, dido
    // The socket in a column of its own, under its heading, not the operator's.
    const QStringList human = QString::fromLocal8Bit(home.run({"records", "list", "--socket", "A3"}).out).split('\n');
    ASSERT_GE(human.size(), 2);
    const qsizetype column = human[0].indexOf("socket");
    ASSERT_GT(column, human[0].indexOf("operator")) << human[0].toStdString();
    for (const QString& line : human.mid(1, human.size() - 2))
        EXPECT_EQ(line.mid(column, 2).trimmed(), line.contains("FAIL") ? "A3" : "") << line.toStdString();
}

TEST(CliFixture, ASocketWhoseControllerIsNotThereFailsToOpenAndTheOthersRun) {
    Home home;
    FourUp units;
    ASSERT_TRUE(units.serving());
    QStringList sockets = units.sockets();
    sockets[3] = QStringLiteral("{\"name\": \"A4\", \"tcp\": \"%1\"}").arg(ClosedPort());
    const CliResult r = home.run({"run", "--fixture", home.fixture(sockets), "--no-records"});
    // The worst unit's exit: A3's failed step (5) is worse than A4's open failure (3).
    EXPECT_EQ(r.exitCode, 5) << r.err.constData();
    const QString out = QString::fromLocal8Bit(r.out);
    EXPECT_TRUE(out.contains("[A4] FAILED (exit 3): FAIL at step 1 (Connect): the link could not be opened: connection refused"))
        << out.toStdString();
    for (const char* passed : {"[A1] OK: PASS", "[A2] OK: PASS"}) EXPECT_TRUE(out.contains(passed)) << passed;
    // The table names each unit by its socket.
    EXPECT_TRUE(out.contains("\nsocket  serial")) << out.toStdString();

    // Alone with A4, the run exits with its open failure.
    const CliResult alone = home.run({"run", "--fixture", home.fixture({sockets[3]}), "--no-records", "--json"});
    EXPECT_EQ(alone.exitCode, 3) << alone.out.constData();
}

TEST(CliFixture, WithSomeUnitSerialsTheOtherSocketsAreLeftOutAndSaidSo) {
    Home home;
    FourUp units;
    ASSERT_TRUE(units.serving());
    const QString fixture = home.fixture(units.sockets());
    const CliResult r = home.run({"run", "--fixture", fixture, "--json", "--no-records",
                                  "--unit-serial", "A1=SN000001", "--unit-serial", "A4=WRONG004"});
    EXPECT_EQ(r.exitCode, 4) << r.err.constData() << r.out.constData();  // A4's label is not its controller's
    QStringList leftOut;
    for (const QJsonObject& o : r.eventsOf("left-out")) {
        leftOut << o.value("socket").toString();
        EXPECT_EQ(o.value("text").toString(),
                  QStringLiteral("socket %1 left out: no --unit-serial given for it").arg(o.value("socket").toString()));
    }
    EXPECT_EQ(leftOut, QStringList({"A2", "A3"}));
    const QHash<QString, QJsonObject> results = ResultsBySocket(r);
    EXPECT_EQ(results.keys().size(), 2);
    EXPECT_EQ(results["A1"].value("exit").toInt(), 0);
    EXPECT_EQ(results["A1"].value("detail").toObject().value("unitSerial").toString(), "SN000001");
    EXPECT_EQ(results["A4"].value("exit").toInt(), 4);
    EXPECT_TRUE(units.a2.received().isEmpty());
    EXPECT_TRUE(units.a3.received().isEmpty());

    // Said in the run's language.
    const CliResult zh = home.run({"run", "--fixture", fixture, "--no-records", "--language", "zh-hant",
                                   "--unit-serial", "A1=SN000001"});
    EXPECT_EQ(zh.exitCode, 0) << zh.err.constData();
    EXPECT_TRUE(QString::fromLocal8Bit(zh.out).contains(QStringLiteral("穴位 A3 未測試：沒有給它 --unit-serial")))
        << zh.out.constData();
}

TEST(CliFixture, AFixtureWithMistakesOrForeignLinksIsRefusedBeforeAnythingIsSent) {
    Home home;
    SimProcess sim({"--model", "v5"});
    ASSERT_TRUE(sim.serving());
    const QString good = home.fixture({Socket("A1", sim)});
    // A socket the fixture does not have, a link besides the sockets', a recipe beside it.
    for (const QStringList& args : {QStringList{"run", "--fixture", good, "--unit-serial", "B9=SN1"},
                                    QStringList{"run", "--fixture", good, "--unit-serial", "A1="},
                                    QStringList{"run", "--fixture", good, "--unit-serial", "SN1"},
                                    QStringList{"run", "--fixture", good, "--tcp", "127.0.0.1:9"},
                                    QStringList{"run", kRecipe, "--fixture", good},
                                    QStringList{"identify", "--fixture", good}}) {
        const CliResult r = home.run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << r.err.constData();
    }
    // Two sockets on one controller would drive it twice at once.
    const CliResult twice = home.run({"run", "--fixture", home.fixture({Socket("A1", sim), Socket("A2", sim)})});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_TRUE(twice.err.contains("A1 and A2")) << twice.err.constData();

    const CliResult bad = home.run({"run", "--fixture", home.fixture({Socket("A1", sim), Socket("A1", sim), "{\"name\": \"A3\"}"})});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("line 4, sockets[1].name: the socket name 'A1' is already used at line 3")) << bad.err.constData();
    EXPECT_TRUE(bad.err.contains("line 5, sockets[2]: no link")) << bad.err.constData();
    EXPECT_TRUE(sim.received().isEmpty());
}
