// The window keeps every test run in the unit records and every frame in the traffic
// monitor: against the simulated controller over TCP and a pty, offscreen, each test
// with records of its own (XDG_DATA_HOME a fresh folder).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/OperatorNameDialog.h"
#include "app/RecordsWindow.h"
#include "app/TfrmModule.h"
#include "app/TrafficMonitorWindow.h"
#include "i18n/Messages.h"
#include "i18n/RecordsTexts.h"
#include "i18n/TrafficTexts.h"
#include "catalogue/TestNames.h"
#include "records/store/RecordStore.h"
#include "records/store/RecordsStatusText.h"
#include "settings/Settings.h"
#include "tests/support/CutCaptions.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"
#include "traffic/TrafficLog.h"

using namespace pbtest;
using pb::records::Outcome;
using pb::records::RunRow;

namespace {

// Records and settings of this test alone.
class OwnFolders {
public:
    OwnFolders() : oldData_(qgetenv("XDG_DATA_HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    ~OwnFolders() {
        qputenv("XDG_DATA_HOME", oldData_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    QTemporaryDir data, config;

private:
    QByteArray oldData_, oldConfig_;
};

// The window over the simulated controller, its pauses on a recording clock.
struct Bench {
    Bench(sim::Model model, const QString& id, Wire wire) : controller(model, id) {
        QApplication::setQuitOnLastWindowClosed(false);
        ServeSim(controller, wire, tcp, pty, link);
        window = std::make_unique<TfrmModule>();
        aim(*window);
    }
    void aim(TfrmModule& w) {
        auto& u = w.ui();
        if (link.kind == pb::LinkKind::Net) {
            u.pcPort->setCurrentWidget(u.tsNet);
            u.edIP->setText(link.ip);
            u.edPort->setText(link.tcpPort);
        } else {
            u.pcPort->setCurrentWidget(u.tsCom);
            u.cmbPort->setEditText(link.portName);
            u.cmbBaudrate->setEditText(link.speed);
        }
        u.sbID->setValue(controller.id().toInt());
        w.setProcedureClock(&clock);
        w.show();
    }
    Ui::TfrmModule& ui() { return window->ui(); }
    pb::records::RecordStore& store() { return window->records(); }
    // The newest run.
    RunRow last() {
        const auto runs = store().queries().runs({}, 1);
        return runs.isEmpty() ? RunRow{} : store().queries().run(runs[0].id).value_or(RunRow{});
    }
    // The serial number as the window showed it ("S/N:<serial>   ID:<id>") after a connect.
    QString serial() {
        if (serial_.isEmpty() && window) serial_ = ui().pnSN->text().section(u' ', 0, 0).mid(4);
        return serial_;
    }
    // Starts a start/stop test and stops it once `ready` holds.
    void runUntil(QPushButton* button, const std::function<bool()>& ready) {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!ready()) return;
            watch.stop();
            QTest::mouseClick(button, Qt::LeftButton);
        });
        watch.start(5);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    int sent(const QString& mnemonic) const {
        const QStringList commands = controller.commands();
        return int(std::count_if(commands.begin(), commands.end(),
                                 [&](const QString& c) { return c.mid(4).startsWith(mnemonic); }));
    }
    // Writes a firmware file for the connected model and chooses it in the menu.
    QString chooseFirmware(const QByteArray& header, int bytes) {
        const QString name = files.filePath(QStringLiteral("image.KVF"));
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(FirmwareFileBytes(header, PatternImage(bytes)));
        f.close();
        window->ui().tsFirmware->dlgLoad()->setOption(QFileDialog::DontUseNativeDialog);
        QTimer::singleShot(0, [this, name] {
            QFileDialog* d = window->ui().tsFirmware->dlgLoad();
            d->setDirectory(QFileInfo(name).absolutePath());
            d->selectFile(QFileInfo(name).fileName());
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        window->ui().tsFirmware->mnuFirmwareFileClick();
        return name;
    }

    OwnFolders folders;
    QTemporaryDir files;
    sim::Controller controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    pb::LinkSettings link;
    pb::RecordingClock clock;
    std::unique_ptr<TfrmModule> window;
    QString serial_;
};

QString Sha256Of(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

int PdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray pdf = file.readAll();
    if (!pdf.startsWith("%PDF-")) return 0;
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page ") +
               pdf.count("/Type /Page/") + pdf.count("/Type /Page>"));
}

class WindowRecords : public ::testing::TestWithParam<Wire> {};

}  // namespace

// Each test the window runs is one run of the identified unit, as the window showed it.
TEST_P(WindowRecords, EachProcedureLeavesItsRunWithUnitOutcomeAndDetails) {
    Bench b(sim::Model::V6, "0001", GetParam());
    auto& u = b.ui();
    const QString linkText = GetParam() == Wire::Tcp
                                 ? "127.0.0.1:" + b.link.tcpPort
                                 : b.link.portName + " " + u.cmbBaudrate->currentText();
    // Before any identify: the link's own unidentified unit.
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    RunRow run = b.last();
    EXPECT_EQ(run.procedure, "set-date");
    EXPECT_EQ(run.unitSerial, "");
    EXPECT_EQ(run.linkText, linkText);

    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    run = b.last();
    EXPECT_EQ(run.procedure, "connect");
    EXPECT_EQ(run.outcome, Outcome::Ok);
    ASSERT_FALSE(b.serial().isEmpty());
    EXPECT_EQ(run.unitSerial, b.serial());
    EXPECT_EQ(run.statusText, u.pnMsg->text());
    EXPECT_EQ(run.details.value("controller").toObject().value("versionText").toString(), u.pnVER->text());
    EXPECT_GT(run.frameCount, 0);
    const auto unit = b.store().queries().units(b.serial());
    ASSERT_EQ(unit.size(), 1);
    EXPECT_EQ(unit[0].identity.modelKind, 6);
    EXPECT_EQ(unit[0].identity.version, u.pnVER->text());

    // One click, one run of this unit, ending as the status line showed.
    const auto check = [&](const char* procedure) {
        const RunRow r = b.last();
        EXPECT_EQ(r.procedure, procedure);
        EXPECT_EQ(r.unitSerial, b.serial()) << procedure;
        EXPECT_EQ(r.statusText, u.pnMsg->text()) << procedure;
        EXPECT_EQ(r.outcome, u.pnMsg->text() == "Command ok." ? Outcome::Ok : Outcome::Error) << procedure;
        EXPECT_GT(r.endMs, 0) << procedure;
        return r;
    };
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    EXPECT_EQ(check("set-date").outcome, Outcome::Ok);
    QTest::mouseClick(u.btnAlarm, Qt::LeftButton);
    check("alarm");
    u.edCommandSend->setText("AC");
    QTest::mouseClick(u.btnCommand, Qt::LeftButton);
    EXPECT_TRUE(check("controller-command").details.value("command").toString().endsWith("AC"));
    u.edModuleCommandSend->setText("AC");
    QTest::mouseClick(u.btnModuleCommand, Qt::LeftButton);
    EXPECT_FALSE(check("module-command").details.value("command").toString().isEmpty());
    QTest::mouseClick(u.btnInitial, Qt::LeftButton);
    check("factory-initial");

    // DI/DO: the inputs change between cycles; both states are kept.
    b.controller.setInputs("10100000");
    int changedAt = 0;
    b.runUntil(u.btnDIDO, [&] {
        if (changedAt == 0 && b.sent("DG0") > 0) {
            b.controller.setInputs("01000001");
            changedAt = b.sent("DG0");
        }
        return changedAt > 0 && b.sent("DG0") > changedAt;
    });
    run = b.last();
    EXPECT_EQ(run.procedure, "dido");
    // The technician read the lamps: kept as watched, no verdict claimed, with what each
    // cycle's inputs were.
    EXPECT_EQ(run.outcome, Outcome::Watched);
    EXPECT_EQ(run.cause.code, pb::CauseCode::Watched);
    QStringList seen;
    for (const pb::Measurement& m : run.measurements)
        if (m.name == QLatin1String("inputs")) seen << m.text;
    EXPECT_TRUE(seen.contains("10100000") && seen.contains("01000001")) << seen.join(' ').toStdString();
    // How many cycles ran before the stop landed depends on the machine's load; at least
    // the one the stop let finish.
    EXPECT_GE(run.details.value("cycles").toInt(), 1);
    const QJsonArray states = run.details.value("inputStates").toArray();
    EXPECT_TRUE(states.contains(QJsonValue("10100000"))) << QJsonDocument(run.details).toJson().toStdString();
    EXPECT_TRUE(states.contains(QJsonValue("01000001"))) << QJsonDocument(run.details).toJson().toStdString();

    b.runUntil(u.btnPooling, [&] { return u.pnPoolingData->text().startsWith("#"); });
    run = b.last();
    EXPECT_EQ(run.procedure, "polling");
    EXPECT_EQ(run.unitSerial, b.serial());
    EXPECT_GE(run.details.value("records").toInt(), 1);

    // The traffic monitor saw the same frames, with their verdicts.
    b.window->trafficLog().flush();
    EXPECT_GT(b.window->trafficLog().rowCount(), int(run.frameCount));
    const auto kept = b.store().queries().traffic(run.id);
    ASSERT_FALSE(kept.frames.isEmpty());
    EXPECT_EQ(kept.frames[0].verdict, "good");
}

INSTANTIATE_TEST_SUITE_P(Wires, WindowRecords, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

TEST(WindowRecordsUpgrade, TheUpgradeNamesItsFileAndTheVersionsBeforeAndAfter) {
    Bench b(sim::Model::V5, "0001", Wire::Tcp);
    auto& u = b.ui();
    u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsFirmware), true);
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    const QString before = u.pnVER->text();
    ASSERT_FALSE(before.isEmpty());
    const QString file = b.chooseFirmware("KV320MX-V5", 40 * 512);
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    const qint64 upgradeId = b.last().id;
    RunRow run = b.last();
    EXPECT_EQ(run.procedure, "firmware-upgrade");
    EXPECT_EQ(run.unitSerial, b.serial());
    const QJsonObject facts = run.details.value("file").toObject();
    EXPECT_EQ(facts.value("name").toString(), "image.KVF");
    EXPECT_EQ(facts.value("size").toInteger(), QFileInfo(file).size());
    EXPECT_EQ(facts.value("sha256").toString(), Sha256Of(file));
    EXPECT_EQ(facts.value("header").toString(), "KV320MX-V5");
    EXPECT_EQ(run.details.value("modelKind").toInt(), 3);
    EXPECT_EQ(run.details.value("programmed").toInt(), 40);
    EXPECT_EQ(run.details.value("verified").toInt(), 40);
    EXPECT_EQ(run.details.value("retries").toObject().value("program").toInt(), 0);
    EXPECT_EQ(run.details.value("versionBefore").toString(), before);
    EXPECT_FALSE(run.details.contains("versionAfter"));

    // The next identify tells the version the unit came back with.
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    run = *b.store().queries().run(upgradeId);
    EXPECT_EQ(run.details.value("versionAfter").toString(), u.pnVER->text());
    EXPECT_EQ(run.details.value("file").toObject().value("sha256").toString(), Sha256Of(file));
}

// A store that cannot be opened: the tests run, the status line says so once.
TEST(WindowRecordsOff, TestsRunAndTheReasonShowsOnceInTheCurrentLanguage) {
    OwnFolders folders;
    QFile plain(folders.data.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("XDG_DATA_HOME", folders.data.filePath("plain").toLocal8Bit());
    pb::Settings chinese;
    chinese.languageFlag = "ChineseBIG5";
    pb::SaveLanguage(chinese);

    sim::Controller controller(sim::Model::V6, "0001");
    sim::TcpServer server(controller);
    server.listen(0);
    QApplication::setQuitOnLastWindowClosed(false);
    TfrmModule window;
    auto& u = window.ui();
    u.pcPort->setCurrentWidget(u.tsNet);
    u.edIP->setText("127.0.0.1");
    u.edPort->setText(QString::number(server.port()));
    window.show();
    EXPECT_FALSE(window.records().isOpen());
    const QString reason = pb::records::StatusText(window.records().status(), 2);
    EXPECT_TRUE(reason.startsWith(pb::Text(pb::RecordText::RecordsOff, 2).section("%1", 0, 0))) << reason.toStdString();
    EXPECT_EQ(u.pnMsg->text(), reason);

    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    EXPECT_EQ(window.state().modelKind, 6);
    EXPECT_EQ(u.pnMsg->text(), pb::Msg(pb::MsgId::CommandOk, pb::Language::TraditionalChinese));  // not said again
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), pb::Msg(pb::MsgId::CommandOk, pb::Language::TraditionalChinese));
    // The windows open on records that are off, and say nothing false.
    u.mnuRecords->trigger();
    ASSERT_NE(window.recordsWindow(), nullptr);
    EXPECT_EQ(window.recordsWindow()->runsView()->model()->rowCount(), 0);
}

// The View menu opens both windows in each language; their captions fit; the operator's
// name goes with the next run and is kept in the settings.
TEST(WindowRecordsMenus, ViewMenuAndOperatorInThreeLanguages) {
    Bench b(sim::Model::V6, "0001", Wire::Tcp);
    auto& u = b.ui();
    QTimer::singleShot(0, [&] {
        auto* dialog = b.window->findChild<OperatorNameDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->nameEdit()->setText(QString::fromUtf8("王小明"));
        dialog->accept();
    });
    u.mnuOperator->trigger();
    pb::Settings stored;
    pb::LoadSettings(stored);
    EXPECT_EQ(stored.operatorName, QString::fromUtf8("王小明"));
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    EXPECT_EQ(b.last().operatorName, QString::fromUtf8("王小明"));

    const QAction* menus[] = {u.mnuFile, u.mnuView, u.mnuLanguage};
    for (int language : {0, 1, 2}) {
        u.mnuEnglish->setChecked(false);
        (language == 0 ? u.mnuEnglish : language == 1 ? u.mnuSimplified : u.mnuTraditional)->trigger();
        EXPECT_EQ(u.mnuView->text(), pb::Text(pb::RecordText::MenuView, language));
        EXPECT_EQ(u.mnuRecords->text(), pb::Text(pb::RecordText::MenuRecords, language));
        EXPECT_EQ(u.mnuTrafficMonitor->text(), pb::Text(pb::TrafficText::MenuEntry, language));
        EXPECT_EQ(u.mnuOperator->text(), pb::Text(pb::RecordText::MenuOperator, language));
        EXPECT_EQ(u.mnuMain->actions().indexOf(const_cast<QAction*>(menus[1])), 1);
        u.mnuRecords->trigger();
        u.mnuTrafficMonitor->trigger();
        RecordsWindow* records = b.window->recordsWindow();
        pb::TrafficMonitorWindow* traffic = b.window->trafficMonitorWindow();
        ASSERT_TRUE(records && traffic);
        b.window->trafficLog().flush();
        QCoreApplication::processEvents();  // the layouts follow the new texts
        EXPECT_TRUE(records->isVisible());
        EXPECT_TRUE(traffic->isVisible());
        EXPECT_EQ(records->windowTitle(), pb::Text(pb::RecordText::WindowTitle, language));
        EXPECT_EQ(traffic->windowTitle(), pb::Text(pb::TrafficText::WindowTitle, language));
        EXPECT_EQ(records->runsView()->model()->rowCount(), language + 1);  // the connects so far
        EXPECT_GT(traffic->table()->model()->rowCount(), 0);
        EXPECT_EQ(CutCaptions(*records), QStringList()) << language;
        EXPECT_EQ(CutCaptions(*traffic), QStringList()) << language;
        // An open records window shows each new run as it ends.
        QTest::mouseClick(u.btnConnect, Qt::LeftButton);
        EXPECT_EQ(records->runsView()->model()->rowCount(), language + 2);
    }
    // Closing the main window closes its tool windows.
    b.window->close();
    EXPECT_FALSE(b.window->recordsWindow()->isVisible());
    EXPECT_FALSE(b.window->trafficMonitorWindow()->isVisible());
}

// Connect, DI/DO, set date and an upgrade; close; start again: the records find the
// unit by its serial with those runs and the file's hash, and the report prints.
TEST(WindowRecordsDone, AfterARestartTheUnitsRunsAreThereAndTheReportPrints) {
    Bench b(sim::Model::V5, "0001", Wire::Pty);
    auto& u = b.ui();
    u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsFirmware), true);
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    b.runUntil(u.btnDIDO, [&] { return b.sent("DG0") >= 2; });
    QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    const QString file = b.chooseFirmware("KV320MX-V5", 24 * 512);
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");
    const QString serial = b.serial();
    b.window->close();
    b.window.reset();

    TfrmModule again;
    b.aim(again);
    again.ui().mnuRecords->trigger();
    RecordsWindow* records = again.recordsWindow();
    ASSERT_NE(records, nullptr);
    records->serialEdit()->setText(serial);
    records->refresh();
    QAbstractItemModel* units = records->unitsView()->model();
    ASSERT_EQ(units->rowCount(), 1);
    // Chosen as a person would: a click on the unit.
    QTableView* unitsView = records->unitsView();
    QTest::mouseClick(unitsView->viewport(), Qt::LeftButton, {},
                      unitsView->visualRect(units->index(0, 1)).center());
    QStringList procedures;
    QAbstractItemModel* runs = records->runsView()->model();
    for (int r = 0; r < runs->rowCount(); ++r)
        procedures << runs->index(r, pb::records::RecordQueries::RunProcedure).data().toString();
    EXPECT_EQ(procedures, QStringList({pb::ProcedureName("firmware-upgrade", 0), pb::ProcedureName("set-date", 0),
                                       pb::ProcedureName("dido", 0), pb::ProcedureName("connect", 0)}));
    const auto upgrade = again.records().queries().runs({0, serial, 0, 0, {}, "firmware-upgrade", {}, {}, {}});
    ASSERT_EQ(upgrade.size(), 1);
    EXPECT_EQ(upgrade[0].details.value("file").toObject().value("sha256").toString(), Sha256Of(file));

    // The upgrade's details on show; with PANELBENCH_SCREENSHOT_DIR, a picture of them.
    QTableView* runsView = records->runsView();
    QTest::mouseClick(runsView->viewport(), Qt::LeftButton, {}, runsView->visualRect(runs->index(0, 1)).center());
    EXPECT_TRUE(records->detailsView()->toPlainText().contains(Sha256Of(file)));
    if (const QString shots = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !shots.isEmpty()) {
        records->resize(1100, 640);
        records->grab().save(shots + "/records-window-runs.png");
    }
    const QString pdf = b.files.filePath("unit.pdf");
    ASSERT_TRUE(records->exportPdf(pdf));
    EXPECT_GE(PdfPages(pdf), 1);
}
