// The controller goes away in the middle of every test the window runs: the TCP peer
// resets (or closes half-way through a reply), the pseudo-terminal's controller side is
// closed (the unplugged USB adapter). Each case clicks the real window's button against
// the simulated controller on 127.0.0.1 or a pty and then checks what the user is left
// with: the error shown, the link closed, the window usable, no descriptor leaked, and a
// Connect that works once the controller is back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/TfrmModule.h"
#include "app/WindowColours.h"
#include "i18n/Messages.h"
#include "procedures/DidoTest.h"
#include "procedures/SystemCommands.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/FdCount.h"
#include "tests/support/EventWitness.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SimHarness.h"
#include "tests/test_firmware_rig.h"

using namespace pb;
using namespace pbtest;

namespace pbtest {
void PrintTo(Wire wire, std::ostream* os) {
    *os << WireName(wire);
}
}  // namespace pbtest

namespace {

const QColor kYellow = ColourFromBgr(kBgrYellow);
const QColor kRed = ColourFromBgr(kBgrRed);

// --- The matrix -------------------------------------------------------------------

enum class Proc {
    Identify,
    SetDate,
    Alarm,
    Initial,
    InitialKind4,
    Reboot,
    RebootKind4,
    Dido,
    DidoKind4,
    ControllerConsole,
    ModuleConsole,
    Polling,
    FirmwareA,
    FirmwareB,
    FirmwareC,
};

// How and when the controller goes.
enum class Strike {
    ResetMidReply,    // half the reply is out, then the peer resets / the adapter is pulled
    CloseMidReply,    // the controller's own fault: half the reply, then it hangs up
    ResetAfterReply,  // the reply arrived whole; the peer goes before the next command
    ResetInPause,     // the peer goes while the tool waits through a pause of the clock
};

struct Row {
    const char* name;
    Proc proc;
    Strike strike;
    // The command (after the device ID, or a loader command without one) whose
    // exchange is struck, or for ResetInPause the pause length in ms.
    QString at;
    int nth;      // which occurrence of it
    MsgId message;  // the status the run must end with
    // An upgrade that failed once flash was being erased or written: the ending adds
    // that the unit must be upgraded again before use.
    bool mayLackFirmware = false;
};

// clang-format off
const QList<Row> kRows = {
    // name                        procedure          strike                  at          nth outcome
    {"IdentifyMidAC",              Proc::Identify,     Strike::ResetMidReply,  "AC",       1, MsgId::ConnectDeviceError},
    {"IdentifyCloseMidDB",         Proc::Identify,     Strike::CloseMidReply,  "DB",       1, MsgId::CommandError},
    {"IdentifyMidDB",              Proc::Identify,     Strike::ResetMidReply,  "DB",       1, MsgId::CommandError},
    {"IdentifyAfterAC",            Proc::Identify,     Strike::ResetAfterReply,"AC",       1, MsgId::CommandError},
    {"IdentifyPauseBeforeDB",      Proc::Identify,     Strike::ResetInPause,   "100",      2, MsgId::CommandError},
    // Identified already: the serial number is all that is missing.
    {"IdentifyAfterDB",            Proc::Identify,     Strike::ResetAfterReply,"DB",       1, MsgId::CommandOk},
    {"SetDateMidAA",               Proc::SetDate,      Strike::ResetMidReply,  "AA",       1, MsgId::CommandError},
    {"SetDateCloseMidAA",          Proc::SetDate,      Strike::CloseMidReply,  "AA",       1, MsgId::CommandError},
    {"SetDateFirstPause",          Proc::SetDate,      Strike::ResetInPause,   "100",      1, MsgId::CommandError},
    {"AlarmCloseMidJF",            Proc::Alarm,        Strike::CloseMidReply,  "JF",       1, MsgId::CommandError},
    {"AlarmFirstPause",            Proc::Alarm,        Strike::ResetInPause,   "100",      1, MsgId::CommandError},
    {"InitialMidAR01",             Proc::Initial,      Strike::ResetMidReply,  "AR01",     1, MsgId::CommandError},
    {"InitialKind4MidAI",          Proc::InitialKind4, Strike::CloseMidReply,  "AI",       1, MsgId::CommandError},
    {"InitialKind4Wait16000",      Proc::InitialKind4, Strike::ResetInPause,   "16000",    1, MsgId::CommandError},
    {"RebootCloseMidAR00",         Proc::Reboot,       Strike::CloseMidReply,  "AR00",     1, MsgId::CommandError},
    {"RebootKind4AfterAJ",         Proc::RebootKind4,  Strike::ResetAfterReply,"AJ",       1, MsgId::CommandError},
    {"RebootKind4Wait3500",        Proc::RebootKind4,  Strike::ResetInPause,   "3500",     1, MsgId::CommandError},
    {"RebootKind4MidAS",           Proc::RebootKind4,  Strike::ResetMidReply,  "AS",       1, MsgId::CommandError},
    {"DidoAfterThirdDG0",          Proc::Dido,         Strike::ResetAfterReply,"DG0",      3, MsgId::CommandError},
    {"DidoCloseMidDG0",            Proc::Dido,         Strike::CloseMidReply,  "DG0",      3, MsgId::CommandError},
    {"DidoMidPulse",               Proc::Dido,         Strike::ResetMidReply,  "JC002",    2, MsgId::CommandError},
    {"DidoPause",                  Proc::Dido,         Strike::ResetInPause,   "20",       7, MsgId::CommandError},
    {"DidoKind4AfterIE",           Proc::DidoKind4,    Strike::ResetAfterReply,"IE",       2, MsgId::CommandError},
    {"DidoKind4CloseMidDF",        Proc::DidoKind4,    Strike::CloseMidReply,  "DF",       2, MsgId::CommandError},
    {"ConsoleMidAB",               Proc::ControllerConsole, Strike::ResetMidReply, "AB",  1, MsgId::CommandError},
    {"ConsoleCloseMidAB",          Proc::ControllerConsole, Strike::CloseMidReply, "AB",  1, MsgId::CommandError},
    {"ConsoleFirstPause",          Proc::ControllerConsole, Strike::ResetInPause,  "100", 1, MsgId::CommandError},
    {"ModuleCloseMid",             Proc::ModuleConsole, Strike::CloseMidReply, "DDA1B",    1, MsgId::CommandError},
    {"ModuleMid",                  Proc::ModuleConsole, Strike::ResetMidReply, "DDA1B",    1, MsgId::CommandError},
    {"PollingMidIE",               Proc::Polling,      Strike::ResetMidReply,  "IE",       1, MsgId::CommandError},
    {"PollingMidIB",               Proc::Polling,      Strike::ResetMidReply,  "IB",       1, MsgId::CommandError},
    {"PollingCloseMidQI",          Proc::Polling,      Strike::CloseMidReply,  "QI",       2, MsgId::CommandError},
    {"PollingAfterQI",             Proc::Polling,      Strike::ResetAfterReply,"QI",       2, MsgId::CommandError},
    {"PollingAfterPI",             Proc::Polling,      Strike::ResetAfterReply,"PI",       1, MsgId::CommandError},
    {"PollingRecordPause",         Proc::Polling,      Strike::ResetInPause,   "500",      2, MsgId::CommandError},
    {"FirmwareACloseMidBlock2",    Proc::FirmwareA,    Strike::CloseMidReply,  "Zp0400",   1, MsgId::CommandError, true},
    {"FirmwareAAfterBlock2",       Proc::FirmwareA,    Strike::ResetAfterReply,"Zp0400",   1, MsgId::CommandError, true},
    {"FirmwareAMidVerify1",        Proc::FirmwareA,    Strike::ResetMidReply,  "Zv0200",   1, MsgId::CommandError, true},
    {"FirmwareAAfterEnter",        Proc::FirmwareA,    Strike::ResetAfterReply,"Zx33BB",   1, MsgId::CommandError, true},
    // Programmed and verified; the restart was acknowledged: the upgrade did happen.
    {"FirmwareARestartWait",       Proc::FirmwareA,    Strike::ResetInPause,   "7000",     1, MsgId::CommandOk},
    {"FirmwareBCloseMidBlock2",    Proc::FirmwareB,    Strike::CloseMidReply,  "P0200",    1, MsgId::CommandError, true},
    {"FirmwareBAfterErase2",       Proc::FirmwareB,    Strike::ResetAfterReply,"E0200",    1, MsgId::CommandError, true},
    {"FirmwareBMidVerify1",        Proc::FirmwareB,    Strike::ResetMidReply,  "R0100",    1, MsgId::CommandError, true},
    {"FirmwareBLoaderWait",        Proc::FirmwareB,    Strike::ResetInPause,   "50",       1, MsgId::CommandError},
    {"FirmwareBRestartWait",       Proc::FirmwareB,    Strike::ResetInPause,   "2000",     1, MsgId::CommandOk},
    {"FirmwareCCloseMidBlock2",    Proc::FirmwareC,    Strike::CloseMidReply,  "P0080",    1, MsgId::CommandError, true},
    {"FirmwareCAfterErase",        Proc::FirmwareC,    Strike::ResetAfterReply,"E",        1, MsgId::CommandError, true},
    {"FirmwareCMidVerify1",        Proc::FirmwareC,    Strike::ResetMidReply,  "R0040",    1, MsgId::CommandError, true},
    {"FirmwareCRestartWait",       Proc::FirmwareC,    Strike::ResetInPause,   "2000",     1, MsgId::CommandOk},
};
// clang-format on

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

bool isKind4(Proc p) {
    return p == Proc::InitialKind4 || p == Proc::RebootKind4 || p == Proc::DidoKind4 ||
           p == Proc::FirmwareC;
}

bool isFirmware(Proc p) {
    return p == Proc::FirmwareA || p == Proc::FirmwareB || p == Proc::FirmwareC;
}

// The controller each procedure is run against.
SimModelCase controllerFor(Proc p) {
    switch (p) {
        case Proc::FirmwareA:
            return ModelCaseFor(3);
        case Proc::FirmwareB:
            return ModelCaseFor(2);
        default:
            return isKind4(p) ? ModelCaseFor(4) : ModelCaseFor(3);
    }
}

// --- The bench --------------------------------------------------------------------

// Records every pause like RecordingClock; a pause chosen by the test is where the
// controller goes, and that pause then lets events flow for a moment, as the window's
// own clock would, so the tool sees the hang-up while no reply is awaited.
class StrikingClock : public pb::Clock {
public:
    void pause(int ms) override {
        pauses.append(ms);
        if (strike && ms == strikeMs && ++seen == strikeNth) {
            strike();
            QEventLoop loop;
            QTimer::singleShot(60, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    QDateTime now() const override { return QDateTime::currentDateTime(); }

    QList<int> pauses;
    std::function<void()> strike;
    int strikeMs = -1;
    int strikeNth = 1;
    int seen = 0;
};

struct Bench {
    explicit Bench(Proc proc, Wire wire) : proc(proc), wire(wire), modelCase(controllerFor(proc)) {
        QApplication::setQuitOnLastWindowClosed(false);
        window.setProcedureClock(&clock);
        startController(modelCase);
        window.show();
    }
    ~Bench() { window.setProcedureClock(nullptr); }

    Ui::TfrmModule& ui() { return window.ui(); }

    // A controller answering on a fresh TCP port or a fresh pty, and the window's link
    // page pointed at it.
    void startController(const SimModelCase& c) {
        tcp.reset();
        pty.reset();
        controller = std::make_unique<sim::Controller>(c.model, c.id);
        // The controller's own hang-up (its close-mid-reply fault) counts as one.
        QObject::connect(controller.get(), &sim::Controller::dropConnection, controller.get(),
                         [this] { ++hangUps; });
        auto& u = ui();
        if (wire == Wire::Tcp) {
            tcp = std::make_unique<sim::TcpServer>(*controller);
            tcp->listen(0);
            u.pcPort->setCurrentWidget(u.tsNet);
            u.edIP->setText("127.0.0.1");
            u.edPort->setText(QString::number(tcp->port()));
        } else {
            pty = std::make_unique<sim::PtyServer>(*controller);
            pty->open();
            u.pcPort->setCurrentWidget(u.tsCom);
            u.cmbPort->setEditText(pty->slavePath());
        }
    }

    // Waits until the simulated controller has seen the tool hang up after a run, so
    // that its side of the connection is not counted as the tool's descriptor.
    void settle() {
        if (!tcp || !tcp->hasClient()) return;
        QEventLoop loop;
        QObject::connect(tcp.get(), &sim::TcpServer::clientDisconnected, &loop, &QEventLoop::quit);
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // The descriptors open once the controller's side has settled, leaving out the ones
    // of threads Qt starts and ends on its own.
    QStringList openFds() {
        settle();
        return OpenFds(FdKinds::LinkKinds);
    }

    // The peer resets its socket, or the adapter is pulled.
    void hangUp() {
        ++hangUps;
        if (tcp) tcp->close();
        if (pty) pty->closeMaster();
    }

    // Opens the menu entry and answers the dialog with fileName.
    void chooseFirmwareFile(const QString& fileName) {
        window.ui().tsFirmware->dlgLoad()->setOption(QFileDialog::DontUseNativeDialog);
        QTimer::singleShot(0, &window, [this, fileName] {
            QFileDialog* d = window.ui().tsFirmware->dlgLoad();
            const QFileInfo info(fileName);
            d->setDirectory(info.absolutePath());
            d->selectFile(info.fileName());
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        window.ui().tsFirmware->mnuFirmwareFileClick();
    }

    Proc proc;
    Wire wire;
    SimModelCase modelCase;
    QTemporaryDir dir;
    StrikingClock clock;
    std::unique_ptr<sim::Controller> controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    TfrmModule window;
    int hangUps = 0;
};

// Whether a frame the tool sent carries the command `at` (after the device ID, or
// without one for the older controller's loader).
bool frameCarries(const QByteArray& frame, const QString& id, const QString& at) {
    const QByteArray text = frame.mid(1);
    return text.startsWith((id + at).toLatin1()) || text.startsWith(at.toLatin1());
}

// Sets the strike of the row up on the bench.
void arm(Bench& b, const Row& row) {
    const QString id = b.window.state().deviceId;
    if (row.strike == Strike::ResetInPause) {
        b.clock.strikeMs = row.at.toInt();
        b.clock.strikeNth = row.nth;
        b.clock.seen = 0;
        b.clock.strike = [&b] { b.hangUp(); };
        return;
    }
    auto count = std::make_shared<int>(0);
    auto awaitingReply = std::make_shared<bool>(false);
    QObject::connect(
        &b.window.link(), &Link::traffic, b.controller.get(),
        [&b, row, id, count, awaitingReply](const TrafficRecord& r) {
            if (r.direction == TrafficRecord::Direction::Received && *awaitingReply) {
                *awaitingReply = false;
                b.hangUp();  // the reply is in; the next command meets a dead line
                return;
            }
            if (r.direction != TrafficRecord::Direction::Sent || !frameCarries(r.bytes, id, row.at))
                return;
            if (++*count != row.nth) return;
            auto& faults = b.controller->faults();
            switch (row.strike) {
                case Strike::CloseMidReply:
                    faults.closeMidReply = true;
                    break;
                case Strike::ResetMidReply:
                    // The reply goes out in two halves 200 ms apart; the line dies between.
                    faults.splitPieces = 2;
                    faults.splitPauseMs = 200;
                    QTimer::singleShot(80, b.controller.get(), [&b] { b.hangUp(); });
                    break;
                case Strike::ResetAfterReply:
                    *awaitingReply = true;
                    break;
                case Strike::ResetInPause:
                    break;
            }
        });
}

// The button of the procedure, clicked as the user would.
void click(Bench& b) {
    auto& u = b.ui();
    switch (b.proc) {
        case Proc::Identify:
            return QTest::mouseClick(u.btnConnect, Qt::LeftButton);
        case Proc::SetDate:
            return QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
        case Proc::Alarm:
            return QTest::mouseClick(u.btnAlarm, Qt::LeftButton);
        case Proc::Initial:
        case Proc::InitialKind4:
            return QTest::mouseClick(u.btnInitial, Qt::LeftButton);
        case Proc::Reboot:
        case Proc::RebootKind4:
            return QTest::mouseClick(u.btnReboot, Qt::LeftButton);
        case Proc::Dido:
        case Proc::DidoKind4:
            return QTest::mouseClick(u.btnDIDO, Qt::LeftButton);
        case Proc::ControllerConsole:
            return QTest::mouseClick(u.btnCommand, Qt::LeftButton);
        case Proc::ModuleConsole:
            return QTest::mouseClick(u.btnModuleCommand, Qt::LeftButton);
        case Proc::Polling:
            return QTest::mouseClick(u.btnPooling, Qt::LeftButton);
        case Proc::FirmwareA:
        case Proc::FirmwareB:
        case Proc::FirmwareC:
            return QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    }
}

// Brings the window to where the procedure starts from: identified, controls set, the
// firmware file chosen. Ends with a run that succeeded.
void prepare(Bench& b) {
    auto& u = b.ui();
    if (isKind4(b.proc)) {
        // The older controller is silent to "AC": its identify waits out three reply
        // limits. Its state is set as identify would set it; a date run proves the line.
        b.window.state().deviceId = b.modelCase.id;
        b.window.state().modelKind = 4;
        b.window.state().versionText = b.modelCase.version;
        u.pnVER->setText(b.modelCase.version);
        QTest::mouseClick(u.btnSetDate, Qt::LeftButton);
    } else {
        u.sbID->setValue(b.modelCase.id.toInt());
        QTest::mouseClick(u.btnConnect, Qt::LeftButton);
        ASSERT_EQ(b.window.state().modelKind, b.modelCase.kind);
    }
    ASSERT_EQ(u.pnMsg->text(), "Command ok.");

    switch (b.proc) {
        case Proc::Alarm:
            u.cmbAlarm->setCurrentIndex(3);
            break;
        case Proc::Dido:
        case Proc::DidoKind4:
            u.chkDO1->setChecked(true);
            u.chkDO2->setChecked(true);
            b.controller->setInputs("11111111");
            break;
        case Proc::ControllerConsole:
            u.edCommandSend->setText("AB");
            break;
        case Proc::ModuleConsole:
            u.cmbModuleType->setCurrentIndex(0);
            u.cmbModuleId->setCurrentIndex(0);
            u.edModuleCommandSend->setText("B");
            break;
        default:
            break;
    }
    if (isFirmware(b.proc)) {
        const QString name = b.dir.filePath("image.KVF");
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // Six blocks: room for a strike between blocks and during verify.
        f.write(FirmwareFileBytes(b.modelCase.header, PatternImage(6 * b.modelCase.blockSize)));
        f.close();
        // The page is hidden by design; shown here to be used as a user would.
        u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsFirmware), true);
        u.pcMain->setCurrentWidget(u.tsFirmware);
        b.chooseFirmwareFile(name);
        ASSERT_EQ(b.window.settings().firmwareFile, name);
    }
}

bool isDido(Proc p) {
    return p == Proc::Dido || p == Proc::DidoKind4;
}

// The tests that loop until cancelled.
bool isLoop(Proc p) {
    return isDido(p) || p == Proc::Polling;
}

// Clicks the procedure's button under a watchdog: a run still going after this long is a
// hang; it is stopped and reported. Returns how long the click took.
qint64 clickWatched(Bench& b) {
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        b.window.state().didoRunning = false;
        b.window.state().pollingRunning = false;
        b.window.link().CloseLink();
    });
    watchdog.start(isLoop(b.proc) ? 3000 : 8000);
    QElapsedTimer took;
    took.start();
    click(b);
    watchdog.stop();
    EXPECT_FALSE(hung) << (isLoop(b.proc) ? "the loop kept cycling on a dead line"
                                          : "the run did not end");
    return took.elapsed();
}

// What the user is left with after the run: its outcome, the link closed, the window
// usable, and for the DI/DO loop everything back to idle.
void expectRunEnded(Bench& b, MsgId message, bool mayLackFirmware = false) {
    auto& u = b.ui();
    // The ending's own text, then why: never a bare "Command error!" here, where the
    // tool saw the line go.
    const QString status = u.pnMsg->text();
    const QString head = Msg(message, pb::Language::English);
    if (message == MsgId::CommandOk) {
        EXPECT_EQ(status, head);
    } else {
        EXPECT_TRUE(status.startsWith(head + u' ')) << status.toStdString();
        EXPECT_GT(status.size(), head.size() + 1) << status.toStdString();
    }
    if (mayLackFirmware) {
        EXPECT_TRUE(status.endsWith(". Upgrade again before use")) << status.toStdString();
    }
    if (isDido(b.proc)) {
        EXPECT_TRUE(QRegularExpression("^Command error! the line was lost after \\d+ exchanges(, at \\w+)?$")
                        .match(status).hasMatch()) << status.toStdString();
    }
    if (message == MsgId::ConnectDeviceError) {
        EXPECT_TRUE(QRegularExpression("^Connect device error! the line was lost after \\d+ exchanges, at AC$")
                        .match(status).hasMatch()) << status.toStdString();
    }
    EXPECT_EQ(u.shComm->brushColor(), message == MsgId::CommandOk ? kYellow : kRed);
    EXPECT_FALSE(u.tmrBusy->isActive());
    EXPECT_TRUE(b.window.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(b.window.link().isOpen());
    if (isDido(b.proc)) {
        EXPECT_FALSE(b.window.state().didoRunning);
        EXPECT_EQ(u.btnDIDO->text(), "DIDO test");
        EXPECT_TRUE(u.btnConnect->isEnabled());
        EXPECT_TRUE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsCommand)));
        for (QCheckBox* box : u.chkDO) EXPECT_FALSE(box->isChecked());
        for (Lamp* lamp : u.shDI) EXPECT_EQ(lamp->brushColor(), QColor(Qt::white));
    }
    if (b.proc == Proc::Polling) {
        EXPECT_FALSE(b.window.state().pollingRunning);
        EXPECT_EQ(u.btnPooling->text(), "Pooling data test");
        EXPECT_TRUE(u.btnDIDO->isEnabled());
        EXPECT_TRUE(u.btnConnect->isEnabled());
        EXPECT_TRUE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsCommand)));
        EXPECT_TRUE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsFirmware)));
    }
}

// Growth is a leak; fewer is a descriptor of the set-up (an earlier connection) that the
// event loop let go of meanwhile.
void expectNoFdGrowth(Bench& b, const QStringList& fdsBefore) {
    const QStringList now = b.openFds();
    EXPECT_LE(now.size(), fdsBefore.size())
        << "a descriptor leaked: " << NewFds(fdsBefore, now).toStdString();
}

// The controller comes back (the older one as one that answers "AC" at once: its own
// identify path waits out three reply limits and is covered elsewhere); nothing of the
// failed run is left open, and Connect works.
void expectConnectWorksOnceBack(Bench& b, const QStringList& fdsBefore) {
    auto& u = b.ui();
    const SimModelCase back = isKind4(b.proc) ? ModelCaseFor(3) : b.modelCase;
    b.startController(back);
    expectNoFdGrowth(b, fdsBefore);

    u.sbID->setValue(back.id.toInt());
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_EQ(b.window.state().modelKind, back.kind);
    EXPECT_FALSE(b.window.link().isOpen());
    EXPECT_TRUE(b.window.isEnabled());
    expectNoFdGrowth(b, fdsBefore);
}

class DisconnectMatrix : public ::testing::TestWithParam<std::tuple<Row, Wire>> {};

TEST_P(DisconnectMatrix, EndsWithTheOutcomeTheLinkClosedAndTheWindowBack) {
    const auto [row, wire] = GetParam();
    Bench b(row.proc, wire);
    auto& u = b.ui();
    prepare(b);
    if (HasFatalFailure()) return;
    const QStringList fdsBefore = b.openFds();

    u.edCommandRecv->setText("earlier reply");
    u.edModuleCommandRecv->setText("earlier reply");
    arm(b, row);
    QStringList failures;
    QObject::connect(&b.window.link(), &Link::traffic, b.controller.get(),
                     [&failures](const TrafficRecord& r) {
                         if (r.direction == TrafficRecord::Direction::Failed)
                             failures.append(LinkErrorName(r.error));
                     });
    const qint64 took = clickWatched(b);
    b.clock.strike = nullptr;

    EXPECT_EQ(b.hangUps, 1) << "the controller never went";
    RecordProperty("took_ms", int(took));
    // The loss is seen as the device going, and what follows fails at once: no exchange
    // waits out a reply limit on a line that is gone.
    EXPECT_FALSE(failures.contains(QStringLiteral("NoReply")))
        << failures.join(' ').toStdString();
    expectRunEnded(b, row.message, row.mayLackFirmware);
    // A reply that did not arrive whole is not shown: the console that sent has emptied
    // its field, so no earlier reply stands beside the error; the other keeps its own.
    EXPECT_EQ(u.edCommandRecv->text(), b.proc == Proc::ControllerConsole ? "" : "earlier reply");
    EXPECT_EQ(u.edModuleCommandRecv->text(), b.proc == Proc::ModuleConsole ? "" : "earlier reply");
    if (row.proc == Proc::Identify && row.message == MsgId::CommandOk) {
        EXPECT_EQ(u.pnSN->text(), "S/N:   ID:" + b.modelCase.id);
    }

    // While the controller is away a Connect says so at once. (Over TCP only: a pty's
    // device name may already belong to another pair.)
    if (wire == Wire::Tcp && row.strike != Strike::CloseMidReply) {
        QTest::mouseClick(u.btnConnect, Qt::LeftButton);
        // Nothing listens on the port while the controller is away: said so.
        EXPECT_EQ(u.pnMsg->text(), "Connect device error! connection refused");
        EXPECT_TRUE(b.window.isEnabled());
        EXPECT_FALSE(b.window.link().isOpen());
    }

    expectConnectWorksOnceBack(b, fdsBefore);
}

// The same with the window's own kind of clock: the pauses turn the event loop for real
// (shortened twenty-fold), the controller goes in the middle of one, and the window keeps
// painting throughout.
class PullDuringARealWait : public ::testing::TestWithParam<std::tuple<Proc, Wire>> {};

TEST_P(PullDuringARealWait, EndsTheRunOnceTheWaitIsOver) {
    const auto [proc, wire] = GetParam();
    Bench b(proc, wire);
    ShortenedEventLoopClock clock(20);
    b.window.setProcedureClock(&clock);
    prepare(b);
    if (HasFatalFailure()) return;
    const QStringList fdsBefore = b.openFds();
    clock.asked.clear();
    b.controller->clearCommands();

    // The line goes at the next turn of the event loop after a reply: in the pause that
    // follows it (the 800 ms that the 16000 ms wait after "AI" has become, or the DI/DO
    // loop's pause after its third "DG0").
    const int repliesBeforePull = proc == Proc::InitialKind4 ? 1 : 3;
    const char* const pulledAfter = proc == Proc::InitialKind4 ? "AI" : "DG";
    int replies = 0;
    QObject::connect(&b.window.link(), &Link::traffic, b.controller.get(),
                     [&](const TrafficRecord& r) {
                         if (r.direction != TrafficRecord::Direction::Received ||
                             !r.bytes.contains(pulledAfter) || ++replies != repliesBeforePull)
                             return;
                         QTimer::singleShot(0, b.controller.get(), [&b] { b.hangUp(); });
                     });
    WaitWitness witness(b.window.link());
    clickWatched(b);

    EXPECT_EQ(b.hangUps, 1);
    expectRunEnded(b, MsgId::CommandError);
    // Events were served in every wait, the pauses of the clock included.
    EXPECT_EQ(witness.servedWaits(), witness.waits());
    EXPECT_GT(clock.pauses(), 0);
    EXPECT_EQ(clock.servedPauses(), clock.pauses());
    if (proc == Proc::InitialKind4) {
        EXPECT_EQ(clock.asked, QList<int>({100, 16000}));
        EXPECT_EQ(b.controller->commands(), QStringList({"012AI"}));
    } else {
        EXPECT_GE(b.controller->commands().count("0001DG0"), 3);
        EXPECT_FALSE(b.controller->commands().contains("0001JD"));
    }
    b.window.setProcedureClock(&b.clock);
    expectConnectWorksOnceBack(b, fdsBefore);
}

INSTANTIATE_TEST_SUITE_P(LongWaits, PullDuringARealWait,
                         ::testing::Combine(::testing::Values(Proc::InitialKind4, Proc::Dido),
                                            ::testing::Values(Wire::Tcp, Wire::Pty)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Proc::Dido
                                                    ? "Dido"
                                                    : "InitialKind4") +
                                    WireName(std::get<1>(info.param));
                         });

std::string rowName(const ::testing::TestParamInfo<std::tuple<Row, Wire>>& info) {
    return std::string(std::get<0>(info.param).name) + WireName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryProcedure, DisconnectMatrix,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::Values(Wire::Tcp, Wire::Pty)),
                         rowName);

}  // namespace
