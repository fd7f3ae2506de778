// The unit records panelbench-cli keeps: every unit's run lands in the store (from its
// own thread), with serial, outcome and operator; `records` reads and exports them back.
// Each test has its own XDG_DATA_HOME, so the default store is a file of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <sys/mount.h>

#include "link/FrameText.h"
#include "records/store/RecordStore.h"
#include "records/exports/RecordsExport.h"
#include "tests/support/CliRig.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SeededUnitTests.h"
#include "tests/support/SqlBeside.h"
#include "traffic/TrafficExport.h"
#include "traffic/TrafficLog.h"

using namespace pbtest;

namespace {

// A records folder of the test's own, and the CLI run with it.
struct RecordsHome {
    QTemporaryDir dir;
    QProcessEnvironment env = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        return e;
    }();
    QString defaultStore() const {
        return dir.filePath(QStringLiteral("NORDAX/PanelBench/records.sqlite"));
    }
    CliResult run(const QStringList& args) const { return RunCli(args, 120000, env); }
    // `records list --json` parsed back: one object per run, newest first.
    QList<QJsonObject> runs(const QStringList& filters = {}) const {
        const CliResult r = run(QStringList{"records", "list", "--json"} + filters);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return r.eventsOf(QStringLiteral("run"));
    }
};

QStringList serials(const QList<QJsonObject>& runs) {
    QStringList list;
    for (const QJsonObject& o : runs) list << o.value("serial").toString();
    list.sort();
    return list;
}

}  // namespace

TEST(CliRecords, EachCommandLeavesItsRunWithSerialOutcomeOperatorAndFrames) {
    RecordsHome home;
    SimProcess sim({"--model", "v5", "--id", "0042", "--serial", "SN000042"});
    ASSERT_TRUE(sim.serving());
    const CliResult ok =
        home.run(QStringList{"identify", "--id", "0042", "--operator", "Li Na", "--json"} + sim.link());
    ASSERT_EQ(ok.exitCode, 0) << ok.err.constData();
    // A command that fails keeps its exit code and leaves a run that says so.
    SimProcess silent({"--model", "v5", "--silent-all"});
    const CliResult failed =
        home.run(QStringList{"identify", "--operator", "Li Na"} + silent.link());
    EXPECT_EQ(failed.exitCode, 4);

    const QList<QJsonObject> runs = home.runs();
    ASSERT_EQ(runs.size(), 2);
    const QJsonObject& good = runs[1];  // newest first
    EXPECT_EQ(good.value("serial").toString(), "SN000042");
    EXPECT_EQ(good.value("procedure").toString(), "connect");
    EXPECT_EQ(good.value("outcome").toString(), "ok");
    EXPECT_EQ(good.value("operator").toString(), "Li Na");
    EXPECT_EQ(good.value("link").toString(), sim.address());
    EXPECT_EQ(runs[0].value("outcome").toString(), "open-failed");  // as the window judges silence
    EXPECT_TRUE(runs[0].value("serial").isNull());

    // Filters select, and show gives the run with the frames the simulator received.
    EXPECT_EQ(home.runs({"--outcome", "open-failed"}).size(), 1);
    EXPECT_EQ(home.runs({"--serial", "000042"}).size(), 1);
    EXPECT_EQ(home.runs({"--procedure", "connect"}).size(), 2);
    EXPECT_EQ(home.runs({"--procedure", "dido"}).size(), 0);
    const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
    EXPECT_EQ(home.runs({"--from", tomorrow}).size(), 0);
    EXPECT_EQ(home.runs({"--to", QDate::currentDate().toString(Qt::ISODate)}).size(), 2);

    const QString id = QString::number(good.value("id").toInteger());
    // The result names its run in the records by what it is.
    EXPECT_EQ(ok.eventsOf("result").value(0).value("detail").toObject().value("runId").toInteger(),
              good.value("id").toInteger());
    const CliResult shown = home.run({"records", "show", id, "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.constData();
    const QJsonObject run = shown.eventsOf("run").value(0);
    EXPECT_EQ(run.value("unit").toObject().value("serial").toString(), "SN000042");
    QStringList sent;
    for (const QJsonValue f : run.value("frames").toArray())
        if (f.toObject().value("direction").toString() == "sent")
            sent << f.toObject().value("text").toString();
    sim.stop();
    const QStringList received = sim.received();
    ASSERT_EQ(sent.size(), received.size());
    for (int i = 0; i < sent.size(); ++i)
        EXPECT_TRUE(sent[i].contains(received[i])) << qPrintable(sent[i]);

    const CliResult human = home.run({"records", "show", id});
    EXPECT_TRUE(human.out.contains("SN000042")) << human.out.constData();
    EXPECT_EQ(home.run({"records", "show", "999"}).exitCode, 5);
}

TEST(CliRecords, FourUnitsAtOnceLeaveFourRunsEachOnItsOwnUnit) {
    RecordsHome home;
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList args{"identify", "--json", "--operator", "bench 3"};
    for (int i = 0; i < 4; ++i) {
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--model", "v5", "--serial", QStringLiteral("SN00000%1").arg(i)}));
        ASSERT_TRUE(sims.back()->serving());
        args += sims.back()->link();
    }
    const CliResult r = home.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.eventsOf("warning").isEmpty()) << r.out.constData();

    const QList<QJsonObject> runs = home.runs();
    EXPECT_EQ(serials(runs), QStringList({"SN000000", "SN000001", "SN000002", "SN000003"}));
    for (const QJsonObject& o : runs) {
        EXPECT_EQ(o.value("outcome").toString(), "ok");
        EXPECT_EQ(o.value("operator").toString(), "bench 3");
        EXPECT_GT(o.value("frameCount").toInt(), 0);
    }
}

TEST(CliRecords, ExportsParseBackAndReportsNeedNoDisplay) {
    RecordsHome home;
    SimProcess a({"--model", "v5", "--serial", "SNA00000"});
    SimProcess b({"--model", "v5", "--serial", "SNB00000"});
    ASSERT_EQ(home.run(QStringList{"identify"} + a.link() + b.link()).exitCode, 0);

    const CliResult json =
        home.run({"records", "export", "--format", "json", "--serial", "SNB00000"});
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(doc.value("format").toString(), "panelbench-records");
    ASSERT_EQ(doc.value("runs").toArray().size(), 1);
    EXPECT_EQ(doc.value("runs").toArray()[0].toObject().value("serial").toString(), "SNB00000");

    const QString csvFile = home.dir.filePath("runs.csv");
    ASSERT_EQ(home.run({"records", "export", "--format", "csv", "--output", csvFile}).exitCode, 0);
    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = csv.readAll().split('\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    ASSERT_EQ(lines.size(), 3);  // the header and one row per run
    const QList<QByteArray> header = lines[0].trimmed().split(',');
    const qsizetype serialColumn = header.indexOf("serial");
    const qsizetype outcomeColumn = header.indexOf("outcome");
    ASSERT_GE(serialColumn, 0);
    QStringList csvSerials;
    for (int i = 1; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        csvSerials << QString::fromUtf8(fields.value(serialColumn));
        EXPECT_EQ(fields.value(outcomeColumn), "ok");
    }
    csvSerials.sort();
    EXPECT_EQ(csvSerials, QStringList({"SNA00000", "SNB00000"}));

    const CliResult html =
        home.run({"records", "export", "--format", "html", "--serial", "SNA00000"});
    ASSERT_EQ(html.exitCode, 0) << html.err.constData();
    EXPECT_TRUE(html.out.contains("SNA00000"));
    EXPECT_FALSE(html.out.contains("SNB00000"));

    // The PDF lays out text offscreen: no display, no runtime folder, nothing said.
    QProcessEnvironment bare = home.env;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM"})
        bare.remove(QString::fromLatin1(name));
    const QString pdfFile = home.dir.filePath("report.pdf");
    const CliResult pdf = RunCli(
        {"records", "export", "--format", "pdf", "--serial", "SNA00000", "--output", pdfFile},
        120000, bare);
    EXPECT_EQ(pdf.exitCode, 0);
    EXPECT_EQ(pdf.err, QByteArray());
    QFile pdfIn(pdfFile);
    ASSERT_TRUE(pdfIn.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdfIn.read(5) == "%PDF-");

    // Usage: a report names its unit, a PDF its file.
    EXPECT_EQ(home.run({"records", "export", "--format", "pdf", "--output", pdfFile}).exitCode, 2);
    EXPECT_EQ(home.run({"records", "export", "--format", "pdf", "--serial", "SNA00000"}).exitCode,
              2);
    EXPECT_EQ(home.run({"records", "export", "--format", "html", "--serial", "SNX00000"}).exitCode,
              5);
}

TEST(CliRecords, NoRecordsLeavesNothingAndAStoreThatCannotOpenOnlyWarns) {
    RecordsHome home;
    SimProcess sim({"--model", "v5", "--serial", "SN000001"});
    ASSERT_EQ(home.run(QStringList{"identify", "--no-records"} + sim.link()).exitCode, 0);
    EXPECT_FALSE(QFile::exists(home.defaultStore()));
    const CliResult none = home.run({"records", "list"});
    EXPECT_EQ(none.exitCode, 5);
    EXPECT_TRUE(none.err.contains("no records file at")) << none.err.constData();

    // A folder that cannot be made: a file stands where it would go (root or not).
    QFile blocker(home.dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString badStore = home.dir.filePath("blocker/records.sqlite");
    SimProcess second({"--model", "v5", "--serial", "SN000002"});
    const CliResult json = home.run(QStringList{"identify", "--json", "--records", badStore} +
                                    sim.link() + second.link());
    EXPECT_EQ(json.exitCode, 0) << json.err.constData();
    ASSERT_EQ(json.eventsOf("warning").size(), 1);  // once, not once per unit
    EXPECT_TRUE(json.eventsOf("warning")[0].value("text").toString().contains(badStore));
    EXPECT_EQ(json.eventsOf("result").size(), 2);

    const CliResult human = home.run(QStringList{"identify", "--records", badStore} + sim.link());
    EXPECT_EQ(human.exitCode, 0);
    EXPECT_EQ(human.err.count('\n'), 1) << human.err.constData();
    EXPECT_TRUE(human.err.contains("warning: unit records")) << human.err.constData();
    EXPECT_TRUE(human.out.contains("OK: "));
    // The same file for reading is a failure of that command.
    EXPECT_EQ(home.run({"records", "list", "--records", badStore}).exitCode, 5);
}

namespace {

// RunCli with the process set up first by `prepare` (its output redirected, its limits).
CliResult RunCliWith(const QStringList& args, const QProcessEnvironment& env,
                     const std::function<void(QProcess&)>& prepare) {
    QProcess p;
    p.setProcessEnvironment(env);
    prepare(p);
    p.start(CliProgram(), args);
    CliResult r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The python csv module's reading of a CSV file: rows of cells.
QList<QStringList> ReadCsv(const QString& file) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, strict=True))))"),
                  file});
    python.waitForFinished(60000);
    QList<QStringList> rows;
    for (const QJsonValue row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue cell : row.toArray()) cells << cell.toString();
        rows << cells;
    }
    return rows;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(CliRecords, WritesThatFailExitFiveWithTheReasonAndLeaveNoPartialFile) {
    RecordsHome home;
    SimProcess sim({"--model", "v5", "--serial", "SN000001"});
    ASSERT_EQ(home.run(QStringList{"identify"} + sim.link()).exitCode, 0);

    // A device as the output is written, never replaced by a file.
    const CliResult full = home.run({"records", "export", "--format", "csv", "--output", "/dev/full"});
    EXPECT_EQ(full.exitCode, 5);
    EXPECT_TRUE(full.err.contains("/dev/full")) << full.err.constData();
    EXPECT_TRUE(full.err.contains("No space left")) << full.err.constData();
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());

    // Standard output that cannot take it: the records' words and the tests' alike.
    const auto toFull = [](QProcess& p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
    for (const QStringList& args : {QStringList{"records", "list"}, QStringList{"records", "list", "--json"},
                                    QStringList{"records", "export", "--format", "json"},
                                    QStringList{"identify", "--no-records"} + sim.link(), QStringList{"--help"}}) {
        const CliResult r = RunCliWith(args, home.env, toFull);
        EXPECT_EQ(r.exitCode, 5) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.contains("cannot write the output: No space left")) << r.err.constData();
    }

    // A reader that went away (`| head`) ends the command quietly, as other tools do.
    const auto closedPipe = [](QProcess& p) {
        p.setChildProcessModifier([] {
            int ends[2];
            if (::pipe(ends) == 0 && ::close(ends[0]) == 0) ::dup2(ends[1], 1);
        });
    };
    const CliResult gone = RunCliWith({"records", "list"}, home.env, closedPipe);
    EXPECT_EQ(gone.exitCode, 0);
    EXPECT_EQ(gone.err, QByteArray());

    // A disk that fills up: the export before stays as it was, and no part of the new
    // one is left beside it.
    const QString small = home.dir.filePath(QStringLiteral("small"));
    QDir().mkpath(small);
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(small)};
    const QString csv = small + QStringLiteral("/runs.csv");
    ASSERT_EQ(home.run({"records", "export", "--format", "csv", "--output", csv}).exitCode, 0);
    const QByteArray before = FileBytes(csv);
    {
        QFile filler(small + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    ASSERT_EQ(home.run(QStringList{"identify"} + sim.link()).exitCode, 0);
    const CliResult cut = home.run({"records", "export", "--format", "csv", "--output", csv});
    EXPECT_EQ(cut.exitCode, 5);
    EXPECT_TRUE(cut.err.contains(csv.toUtf8())) << cut.err.constData();
    EXPECT_TRUE(cut.err.contains("No space left")) << cut.err.constData();
    EXPECT_EQ(FileBytes(csv), before);
    EXPECT_EQ(FolderEntries(small), QStringList({"filler", "runs.csv"}));
    const CliResult cutPdf =
        home.run({"records", "export", "--format", "pdf", "--serial", "SN000001", "--output", small + "/unit.pdf"});
    EXPECT_EQ(cutPdf.exitCode, 5);
    EXPECT_EQ(FolderEntries(small), QStringList({"filler", "runs.csv"}));
}

TEST(CliRecords, ReadingSaysWhatTheFileIsAndChangesNothing) {
    RecordsHome home;
    const QString folder = home.dir.filePath(QStringLiteral("stores"));
    QDir().mkpath(folder);
    const auto file = [&](const QString& name, const QByteArray& bytes) {
        const QString path = folder + u'/' + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    };
    const QString garbage = file(QStringLiteral("garbage.sqlite"), QByteArray("not a database\n").repeated(300));
    const QString empty = file(QStringLiteral("empty.sqlite"), {});
    const QString foreign = folder + QStringLiteral("/contacts.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("contacts"));
        db.setDatabaseName(foreign);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("contacts"));
    // Stores of this program: one of a newer schema, one of an older, one with torn pages.
    SimProcess sim({"--model", "v5", "--serial", "SN000001"});
    const auto store = [&](const QString& name) {
        const QString path = folder + u'/' + name;
        EXPECT_EQ(home.run(QStringList{"identify", "--records", path} + sim.link()).exitCode, 0);
        return path;
    };
    const auto sql = [](const QString& path, const QString& statement) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(path);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(statement)) << qPrintable(q.lastError().text());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    };
    const QString newer = store(QStringLiteral("newer.sqlite"));
    sql(newer, QStringLiteral("UPDATE schema_info SET value = '99' WHERE name = 'version'"));
    const QString older = store(QStringLiteral("older.sqlite"));
    sql(older, QStringLiteral("UPDATE schema_info SET value = '3' WHERE name = 'version'"));
    const QString torn = store(QStringLiteral("torn.sqlite"));
    {
        QFile f(torn);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        ASSERT_GT(size, 4096);
        f.seek(4096);  // every page after the schema's
        f.write(QByteArray(size - 4096, '\xA5'));
    }
    const QString missing = home.dir.filePath(QStringLiteral("no/such/folder/records.sqlite"));

    const QStringList before = FolderEntries(folder);
    QHash<QString, QByteArray> bytes;
    for (const QString& name : before) bytes.insert(name, FileBytes(folder + u'/' + name));
    const std::pair<QString, const char*> cases[] = {
        {garbage, "is not a records file"},
        {empty, "is not a records file"},
        {foreign, "is another program's database"},
        {newer, "of a newer Panel Bench"},
        {older, "of an older Panel Bench"},
        {torn, "is damaged"},
        {missing, "no records file at "},
        {folder, "is not a records file (not a regular file)"},
    };
    for (const auto& [path, said] : cases)
        for (const QStringList& command : {QStringList{"list"}, QStringList{"show", "1"},
                                           QStringList{"export", "--format", "json"}}) {
            const CliResult r = home.run(QStringList{"records"} + command + QStringList{"--records", path});
            EXPECT_EQ(r.exitCode, 5) << qPrintable(path) << ' ' << qPrintable(command.join(' '));
            EXPECT_TRUE(r.err.contains(said)) << r.err.constData();
            EXPECT_TRUE(r.err.contains(path.toUtf8())) << r.err.constData();
            EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
            EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
        }
    EXPECT_FALSE(QFileInfo::exists(home.dir.filePath(QStringLiteral("no"))));
    EXPECT_EQ(FolderEntries(folder), before);
    for (const QString& name : before) EXPECT_EQ(FileBytes(folder + u'/' + name), bytes.value(name)) << qPrintable(name);
    // The default store, never made, reads as missing too.
    const CliResult none = home.run({"records", "list"});
    EXPECT_EQ(none.exitCode, 5);
    EXPECT_TRUE(none.err.contains("no records file at " + home.defaultStore().toUtf8())) << none.err.constData();
    EXPECT_FALSE(QFileInfo::exists(home.dir.filePath(QStringLiteral("NORDAX"))));

    // A command that records sets the file aside, says so once, and works on a new one.
    SimProcess second({"--model", "v5", "--serial", "SN000002"});
    const CliResult recorded =
        home.run(QStringList{"identify", "--records", foreign} + sim.link() + second.link());
    EXPECT_EQ(recorded.exitCode, 0);
    EXPECT_EQ(recorded.err.count("kept aside as " + foreign.toUtf8() + ".foreign-"), 1) << recorded.err.constData();
    EXPECT_TRUE(recorded.err.contains("was another program's database")) << recorded.err.constData();
    EXPECT_EQ(home.runs({"--records", foreign}).size(), 2);
    const CliResult mended = home.run(QStringList{"identify", "--records", garbage} + sim.link());
    EXPECT_TRUE(mended.err.contains("was not a records file; kept aside as")) << mended.err.constData();
}

TEST(CliRecords, FormulasAndControlCharactersFromOutsideAreShownAsText) {
    RecordsHome home;
    // The serial comes from the controller, the operator and the station from the user.
    SimProcess formula({"--model", "v5", "--serial", "-2+3"});
    SimProcess escape({"--model", "v5", "--serial", "\x1b[2J\x07"});
    ASSERT_TRUE(escape.serving());
    const QString hyperlink = QStringLiteral("=HYPERLINK(\"http://x\",\"y\")");
    const QString command = QStringLiteral("+cmd|' /C calc'!A0");
    ASSERT_EQ(home.run(QStringList{"identify", "--operator", hyperlink, "--station", command} + formula.link())
                  .exitCode,
              0);
    const QString red = QStringLiteral("\x1b[31mred\x1b[0m\nforged line");
    const CliResult identified =
        home.run(QStringList{"identify", "--operator", red, "--station", "@SUM(A1)"} + escape.link());
    ASSERT_EQ(identified.exitCode, 0) << identified.err.constData();
    EXPECT_FALSE(identified.out.contains('\x1b')) << identified.out.constData();
    EXPECT_TRUE(identified.out.contains("\\e[2J\\x07")) << identified.out.constData();

    const QString csvFile = home.dir.filePath(QStringLiteral("runs.csv"));
    ASSERT_EQ(home.run({"records", "export", "--format", "csv", "--output", csvFile}).exitCode, 0);
    const QList<QStringList> rows = ReadCsv(csvFile);
    ASSERT_EQ(rows.size(), 3);
    const QStringList& head = rows[0];
    const QStringList& first = rows[2];  // newest first
    EXPECT_TRUE(first.value(head.indexOf("serial")).startsWith("'-2+3")) << qPrintable(first.join(' '));
    EXPECT_EQ(first.value(head.indexOf("operator")), u'\'' + hyperlink);
    EXPECT_EQ(first.value(head.indexOf("station")), u'\'' + command);
    EXPECT_EQ(rows[1].value(head.indexOf("station")), "'@SUM(A1)");
    EXPECT_EQ(rows[1].value(head.indexOf("operator")), red);  // no formula: as it is

    const CliResult listed = home.run({"records", "list"});
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_FALSE(listed.out.contains('\x1b')) << listed.out.constData();
    EXPECT_FALSE(listed.out.contains('\x07'));
    EXPECT_TRUE(listed.out.contains("\\e[31mred\\e[0m\\nforged line")) << listed.out.constData();
    EXPECT_EQ(listed.out.count('\n'), 3);  // the head and two runs
    const QString id = QString::number(home.runs({"--serial", "[2J"}).value(0).value("id").toInteger());
    const CliResult shown = home.run({"records", "show", id});
    EXPECT_FALSE(shown.out.contains('\x1b')) << shown.out.constData();
    EXPECT_TRUE(shown.out.contains("operator   \\e[31mred\\e[0m\\nforged line\n")) << shown.out.constData();
    // JSON keeps the text itself, escaped by its own rules.
    EXPECT_EQ(home.runs({"--serial", "[2J"}).value(0).value("operator").toString(), red);
}

TEST(CliRecords, FiltersThatCanMatchNothingAreRefusedSayingWhy) {
    RecordsHome home;
    const QList<std::pair<QStringList, const char*>> refused = {
        {{"--from", "2026-05-02", "--to", "2026-05-01"}, "no run could match"},
        {{"--fixture", ""}, "--fixture wants a name"},
        {{"--socket", " "}, "--socket wants a name"}};
    for (const auto& [filter, why] : refused) {
        const CliResult r = home.run(QStringList{"records", "list"} + filter);
        EXPECT_EQ(r.exitCode, 2) << filter.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(why)) << r.err.constData();
    }
}

TEST(CliRecords, ASerialFilterIsLiteralNotAPattern) {
    RecordsHome home;
    SimProcess underscore({"--model", "v5", "--serial", "SN_00001"});
    SimProcess percent({"--model", "v5", "--serial", "SN%00002"});
    SimProcess plain({"--model", "v5", "--serial", "SNA00003"});
    ASSERT_EQ(home.run(QStringList{"identify", "--station", "line_1"} + underscore.link() + percent.link() +
                       plain.link())
                  .exitCode,
              0);
    EXPECT_EQ(serials(home.runs({"--serial", "_"})), QStringList{"SN_00001"});
    EXPECT_EQ(serials(home.runs({"--serial", "%"})), QStringList{"SN%00002"});
    EXPECT_EQ(serials(home.runs({"--serial", "n_0"})), QStringList{"SN_00001"});  // case-blind still
    EXPECT_EQ(home.runs({"--serial", "SN"}).size(), 3);
    EXPECT_EQ(home.runs({"--station", "e_1"}).size(), 3);
    EXPECT_TRUE(home.runs({"--station", "e%"}).isEmpty());
    const CliResult report = home.run({"records", "export", "--format", "html", "--serial", "_"});
    EXPECT_EQ(report.exitCode, 0) << report.err.constData();
    EXPECT_TRUE(report.out.contains("SN_00001"));
}

// One frame, one reading. A console command with the bytes the renderings once disagreed
// on (a line feed, a control byte, DEL) reads the same in every place a frame is shown:
// the reply box, --traffic as lines and as JSON, `records show` as lines and as JSON, the
// records' JSON export, and the traffic monitor's text and CSV saves.
TEST(CliRecords, OneFrameReadsTheSameInTrafficRecordsAndExports) {
    RecordsHome home;
    SimProcess sim({"--model", "v5"});  // the controller echoes a console's free text
    ASSERT_TRUE(sim.serving());
    const QString command = QStringLiteral("AB\n\x1f\x7f~");

    const CliResult json = home.run(QStringList{"send", command, "--traffic", "--json"} + sim.link());
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    // The command's own frames, sent then received, after those of the identify before it.
    const QList<QJsonObject> frames = json.eventsOf(QStringLiteral("frame"));
    ASSERT_GE(frames.size(), 2) << json.out.constData();
    QStringList shown;
    QList<QByteArray> bytes;
    for (const QJsonObject& f : frames.mid(frames.size() - 2)) {
        shown << f.value("frame").toString();
        bytes << QByteArray::fromHex(f.value("hex").toString().toLatin1());
    }
    EXPECT_TRUE(shown[0].startsWith("<SOH>0000AB<LF><x1F><x7F>~<STX>")) << qPrintable(shown[0]);
    EXPECT_TRUE(shown[1].startsWith("<ETX>0000AB<LF><x1F><x7F>~<EOT>")) << qPrintable(shown[1]);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(shown[i], pb::FrameText(bytes[i]));
    const QJsonObject result = json.eventsOf(QStringLiteral("result")).value(0);
    EXPECT_EQ(result.value("detail").toObject().value("reply").toString(), shown[1]);  // the reply box

    const CliResult lines = home.run(QStringList{"send", command, "--traffic"} + sim.link());
    ASSERT_EQ(lines.exitCode, 0) << lines.err.constData();
    EXPECT_TRUE(lines.out.contains(("-> " + shown[0] + "\n").toUtf8())) << lines.out.constData();
    EXPECT_TRUE(lines.out.contains(("<- " + shown[1] + "\n").toUtf8())) << lines.out.constData();

    const QString runId = QString::number(result.value("detail").toObject().value("runId").toInteger());
    const CliResult showJson = home.run({"records", "show", runId, "--json"});
    ASSERT_EQ(showJson.exitCode, 0) << showJson.err.constData();
    QStringList kept;
    for (const QJsonValue f : showJson.eventsOf("run").value(0).value("frames").toArray())
        kept << f.toObject().value("text").toString();
    EXPECT_EQ(kept.mid(kept.size() - 2), shown);
    const CliResult show = home.run({"records", "show", runId});
    ASSERT_EQ(show.exitCode, 0) << show.err.constData();
    EXPECT_TRUE(show.out.contains((" -> " + shown[0] + "  [").toUtf8())) << show.out.constData();
    EXPECT_TRUE(show.out.contains((" <- " + shown[1] + "  [").toUtf8())) << show.out.constData();

    pb::records::RecordStore store;
    ASSERT_TRUE(store.openSqlite(home.defaultStore(), pb::records::RecordStore::Access::ReadOnly).ok());
    pb::records::RunFilter filter;
    const QJsonObject exported = QJsonDocument::fromJson(pb::records::ExportJson(store, filter, true)).object();
    bool found = false;
    for (const QJsonValue run : exported.value("runs").toArray()) {
        if (run.toObject().value("id").toInteger() != runId.toLongLong()) continue;
        found = true;
        QStringList texts;
        for (const QJsonValue f : run.toObject().value("traffic").toArray()) texts << f.toObject().value("text").toString();
        EXPECT_EQ(texts.mid(texts.size() - 2), shown);
    }
    EXPECT_TRUE(found) << runId.toStdString();

    pb::TrafficLog monitor;
    monitor.add({pb::TrafficRecord::Direction::Sent, bytes[0], 0, true, {}});
    monitor.add({pb::TrafficRecord::Direction::Received, bytes[1], 20, true, {}});
    monitor.flush();
    const QString text = pb::TrafficAsText(monitor);
    const QString csv = QString::fromUtf8(pb::TrafficAsCsv(monitor));
    for (const QString& frame : shown) {
        EXPECT_TRUE(text.contains(u'\t' + frame + u'\t')) << qPrintable(text);
        EXPECT_TRUE(csv.contains(u',' + frame + u',')) << qPrintable(csv);
    }
}

namespace {

TEST(CliRecords, VerifyCountsWholeChainsAndNamesAnEditedUnitTestWithExitNine) {
    RecordsHome home;
    {
        pb::records::RecordStore store;
        ASSERT_TRUE(store.openSqlite(home.defaultStore()).ok());
        WriteUnitTest(store, {"SN1", 1000, "fail", "line-1", {}, {}, 0});
        WriteUnitTest(store, {"SN2", 2000, "pass", "line-1"});
    }
    CliResult r = home.run({"records", "verify"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("2 unit test(s) of 1 station(s)")) << r.out.constData();
    ASSERT_EQ(SqlBeside(home.defaultStore(), {}, "UPDATE recipe_runs SET verdict = 'pass' WHERE id = 1"), QString());
    r = home.run({"records", "verify"});
    EXPECT_EQ(r.exitCode, 9);
    EXPECT_EQ(r.out, "station line-1, unit test R1: changed after it was recorded\n");
}

}  // namespace
