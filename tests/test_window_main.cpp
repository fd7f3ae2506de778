// The main window offscreen: its controls, the start-up from the stored settings, the
// languages, the busy lamp, the clock, About and Exit.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFontInfo>
#include <QMessageBox>
#include <QRawFont>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "catalogue/TestNames.h"
#include "app/TfrmModule.h"
#include "i18n/Messages.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        previousHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }
    void TearDown() override {
        window_.reset();
        qputenv("XDG_CONFIG_HOME", previousHome_);
    }

    QString settingsFile() const { return home_.path() + "/NORDAX/PanelBench.conf"; }
    void storeSettings(const QByteArray& ini) {
        QDir().mkpath(home_.path() + "/NORDAX");
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }

    TfrmModule& open(bool show = true) {
        window_ = std::make_unique<TfrmModule>();
        if (show) {
            window_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        }
        return *window_;
    }

    template <typename T = QWidget>
    T* control(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Runs the event loop until `ticks` timeouts of `timer` have been seen (or 5 s).
    static void WaitForTicks(QTimer* timer, int ticks, const std::function<void()>& onTick) {
        QEventLoop loop;
        int seen = 0;
        auto connection = QObject::connect(timer, &QTimer::timeout, &loop, [&] {
            onTick();
            if (++seen == ticks) loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(connection);
    }

    QTemporaryDir home_;
    QByteArray previousHome_;
    std::unique_ptr<TfrmModule> window_;
};

QString TextOf(QObject* o) {
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(o)) return c->currentText();
    if (auto* a = qobject_cast<QAction*>(o)) return a->text();
    return {};
}

// Tests and tools find the controls by these names; what they show is checked in the
// three languages by the screenshot test and the language tests below.
TEST_F(Window, EveryControlCarriesItsName) {
    open(false);
    const char* const names[] = {
        "pnMsg", "pnVER", "pnSN", "lblPort", "cmbPort", "lblSpeed", "cmbBaudrate", "lblIP", "edIP",
        "lblNetPort", "edPort", "lblID", "pnID", "btnConnect", "pnSetDate", "btnSetDate",
        "cmbAlarm", "btnAlarm", "lblDI1", "lblDI8", "chkDO1", "chkDO4", "btnDIDO", "pnPoolingDate",
        "pnPoolingData", "btnPooling", "btnInitial", "btnReboot", "pnFirmwareNote", "Panel3",
        "pnFile", "Panel1", "Panel2", "btnFirmware", "gbController", "lblCommandSend",
        "edCommandSend", "lblCommandRecv", "edCommandRecv", "btnCommand", "gbModule",
        "lblModuleType", "cmbModuleType", "lblModuleId", "cmbModuleId", "lblModuleCommandSend",
        "edModuleCommandSend", "lblModuleCommandRecv", "btnModuleCommand", "mnuFile",
        "mnuFirmwareFile", "mnuExit", "mnuLanguage", "mnuEnglish", "mnuSimplified",
        "mnuTraditional", "mnuAbout", "shComm", "shDI1", "shDI8", "sbID", "pcPort",
        "tsCom", "tsNet", "pcMain", "tsTest", "tsFunction", "tsFirmware", "tsCommand",
        "moFirmwareNote", "pbProgram", "pbVerify", "mnuMain", "mnuLine1", "tmrBusy", "tmrClock",
    };
    for (const char* name : names)
        EXPECT_NE(window_->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(window_->objectName(), "frmModule");
    EXPECT_EQ(window_->windowTitle(), "KV410 Tools");
    // The few captions the language table does not set.
    EXPECT_EQ(TextOf(window_->findChild<QObject*>("edIP")), "192.168.1.101");
    EXPECT_EQ(TextOf(window_->findChild<QObject*>("pnFile")), "KV320MX.KVF");
}

TEST_F(Window, LayoutListsAndTimersAreAsDesigned) {
    TfrmModule& w = open(false);
    auto& u = w.ui();
    EXPECT_EQ(u.centralWidget->size(), QSize(680, 614));
    EXPECT_EQ(u.pnMsg->geometry(), QRect(8, 4, 665, 40));
    EXPECT_EQ(u.shComm->parentWidget(), u.pnMsg);
    EXPECT_EQ(u.shComm->geometry(), QRect(626, 8, 23, 20));
    EXPECT_EQ(u.shComm->brushColor(), kRed);
    EXPECT_EQ(u.btnConnect->geometry(), QRect(344, 128, 327, 81));
    EXPECT_EQ(u.pcMain->geometry(), QRect(8, 213, 668, 404));
    EXPECT_EQ(u.shDI6->geometry(), QRect(82, 158, 23, 25));
    EXPECT_EQ(u.lblDI3->geometry(), QRect(192, 116, 41, 29));
    EXPECT_EQ(u.btnInitial->geometry(), QRect(0, 296, 313, 65));
    EXPECT_EQ(u.btnFirmware->geometry(), QRect(8, 288, 641, 73));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

    // Pages: order, the two hidden tabs, the active pages.
    ASSERT_EQ(u.pcMain->count(), 4);
    EXPECT_EQ(u.pcMain->widget(0), u.tsTest);
    EXPECT_EQ(u.pcMain->widget(1), u.tsFunction);
    EXPECT_EQ(u.pcMain->widget(2), u.tsFirmware);
    EXPECT_EQ(u.pcMain->widget(3), u.tsCommand);
    EXPECT_TRUE(u.pcMain->isTabVisible(0));
    EXPECT_FALSE(u.pcMain->isTabVisible(1));
    EXPECT_FALSE(u.pcMain->isTabVisible(2));
    EXPECT_TRUE(u.pcMain->isTabVisible(3));
    EXPECT_EQ(u.pcMain->currentWidget(), u.tsTest);
    EXPECT_EQ(u.pcPort->currentWidget(), u.tsCom);
    EXPECT_FALSE(u.mnuFirmwareFile->isVisible());
    EXPECT_FALSE(u.mnuLine1->isVisible());
    EXPECT_TRUE(u.mnuLine1->isSeparator());

    EXPECT_EQ(u.cmbBaudrate->count(), 18);
    EXPECT_EQ(u.cmbBaudrate->currentIndex(), 5);
    EXPECT_EQ(u.cmbBaudrate->itemText(0), "4800,n,8,1");
    EXPECT_EQ(u.cmbBaudrate->itemText(17), "921600,e,8,1");
    EXPECT_TRUE(u.cmbBaudrate->isEditable());
    EXPECT_TRUE(u.cmbPort->isEditable());
    EXPECT_EQ(u.cmbAlarm->count(), 7);
    EXPECT_EQ(u.cmbAlarm->itemText(6), "Duress Alarm");
    EXPECT_FALSE(u.cmbAlarm->isEditable());
    EXPECT_EQ(u.cmbModuleType->itemText(5), "KMPRN");
    EXPECT_EQ(u.cmbModuleId->count(), 8);
    EXPECT_EQ(u.edIP->maxLength(), 15);
    EXPECT_EQ(u.sbID->minimum(), 0);
    EXPECT_EQ(u.sbID->maximum(), 9999);
    EXPECT_EQ(u.sbID->pageStep(), 10);
    EXPECT_EQ(u.pbProgram->maximum(), 100);
    EXPECT_TRUE(u.edCommandRecv->isReadOnly());
    EXPECT_TRUE(u.moFirmwareNote->isReadOnly());

    EXPECT_EQ(u.tmrBusy->interval(), 200);
    EXPECT_FALSE(u.tmrBusy->isActive());
    EXPECT_EQ(u.tmrClock->interval(), 500);
    EXPECT_TRUE(u.tmrClock->isActive());
    EXPECT_EQ(w.state().deviceId, "0000");
    EXPECT_EQ(w.state().modelKind, 0);
}

TEST_F(Window, ShownWindowHasAFixedSizeAndTheLanguageApplied) {
    TfrmModule& w = open();
    EXPECT_EQ(w.ui().centralWidget->size(), QSize(680, 614));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.windowTitle(), "KV410 Test Tools V0470");
    EXPECT_EQ(w.ui().pnMsg->text(), "Start connect device");
    EXPECT_EQ(w.ui().mnuExit->text(), "E&xit");
    EXPECT_TRUE(w.ui().mnuEnglish->isChecked());
    EXPECT_FALSE(w.ui().mnuSimplified->isChecked());
}

TEST_F(Window, TraditionalAndBackRestoresTheEnglishMessages) {
    TfrmModule& w = open();
    auto& u = w.ui();
    u.mnuTraditional->trigger();
    EXPECT_EQ(w.language(), pb::Language::TraditionalChinese);
    EXPECT_EQ(u.btnInitial->text(), QStringLiteral("設定出廠值"));
    EXPECT_EQ(u.pnMsg->text(), QStringLiteral("連線裝置"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("KV410測試工具程式 V0470"));
    EXPECT_EQ(u.pcPort->tabText(u.pcPort->indexOf(u.tsNet)), QStringLiteral("網路"));
    EXPECT_TRUE(u.mnuTraditional->isChecked());
    EXPECT_FALSE(u.mnuEnglish->isChecked());
    // Controls outside the table keep their English captions.
    EXPECT_EQ(u.lblIP->text(), "IP:");
    EXPECT_EQ(u.lblDI1->text(), "DI1");
    EXPECT_EQ(u.cmbAlarm->itemText(0), "Alarm Off");
    // The language is stored at once.
    EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("LanguageFlag").toString(),
              "ChineseBIG5");

    w.setStatus("Command ok.");
    u.mnuEnglish->trigger();
    const std::pair<QObject*, pb::MsgId> listed[] = {{u.btnInitial, pb::MsgId::SetFactory},
                                               {u.btnReboot, pb::MsgId::SetReboot},
                                               {u.pnMsg, pb::MsgId::StartConnectDevice},
                                               {u.btnSetDate, pb::MsgId::SetDateAndTime},
                                               {u.btnConnect, pb::MsgId::ConnectDevice},
                                               {u.btnDIDO, pb::MsgId::DidoTest},
                                               {u.btnPooling, pb::MsgId::PoolingDataTest},
                                               {u.btnAlarm, pb::MsgId::AlarmTest},
                                               {u.lblPort, pb::MsgId::Port},
                                               {u.lblNetPort, pb::MsgId::Port},
                                               {u.lblSpeed, pb::MsgId::Speed},
                                               {u.lblCommandSend, pb::MsgId::SendCommand},
                                               {u.lblModuleCommandRecv, pb::MsgId::ReceiveData},
                                               {u.btnCommand, pb::MsgId::TestCommand},
                                               {u.btnModuleCommand, pb::MsgId::TestCommand},
                                               {u.gbController, pb::MsgId::ControllerCommandTest},
                                               {u.gbModule, pb::MsgId::ModuleCommandTest},
                                               {u.lblModuleType, pb::MsgId::Type},
                                               {u.pnFirmwareNote, pb::MsgId::Note},
                                               {u.btnFirmware, pb::MsgId::FirmwareLoad},
                                               {u.mnuFile, pb::MsgId::MenuFile},
                                               {u.mnuFirmwareFile, pb::MsgId::MenuFirmwareFile},
                                               {u.mnuAbout, pb::MsgId::MenuAbout},
                                               {u.mnuExit, pb::MsgId::MenuExit},
                                               {u.mnuLanguage, pb::MsgId::MenuLanguage}};
    for (const auto& [control, id] : listed)
        EXPECT_EQ(TextOf(control), pb::Msg(id, pb::Language::English)) << control->objectName().toStdString();
    EXPECT_EQ(u.btnInitial->text(), "Set factory");
    EXPECT_EQ(u.pnMsg->text(), "Start connect device");
    EXPECT_EQ(u.pcMain->tabText(u.pcMain->indexOf(u.tsTest)), "Basic test");
    EXPECT_EQ(u.pcMain->tabText(u.pcMain->indexOf(u.tsFirmware)), "Firmware upgrade");
    EXPECT_EQ(u.pcPort->tabText(u.pcPort->indexOf(u.tsCom)), "COM");
    EXPECT_EQ(u.moFirmwareNote->toPlainText(), pb::Msg(pb::MsgId::FirmwareNote, pb::Language::English));
    EXPECT_EQ(u.moFirmwareNote->document()->blockCount(), 1);
    // Language changes leave the hidden tabs hidden.
    EXPECT_FALSE(u.pcMain->isTabVisible(u.pcMain->indexOf(u.tsFirmware)));
}

TEST_F(Window, LanguageItemsKeepTheirOwnColumns) {
    TfrmModule& w = open();
    auto& u = w.ui();
    for (QAction* choice : {u.mnuSimplified, u.mnuTraditional, u.mnuEnglish}) {
        choice->trigger();
        EXPECT_EQ(u.mnuEnglish->text(), "&English");
        EXPECT_EQ(u.mnuSimplified->text(), QStringLiteral("&Simplified chinese(简体)"));
        EXPECT_EQ(u.mnuTraditional->text(), QStringLiteral("&Traditional chinese(繁體)"));
        EXPECT_EQ(u.mnuEnglish->isChecked(), choice == u.mnuEnglish);
        EXPECT_EQ(u.mnuSimplified->isChecked(), choice == u.mnuSimplified);
        EXPECT_EQ(u.mnuTraditional->isChecked(), choice == u.mnuTraditional);
    }
}

TEST_F(Window, ChineseFontsWriteEveryCharacterOfTheirColumn) {
    TfrmModule& w = open();
    for (int language : {1, 2}) {
        (language == 1 ? w.ui().mnuSimplified : w.ui().mnuTraditional)->trigger();
        const QFont font = w.font();
        EXPECT_EQ(font.pointSize(), 12);
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid());
        for (int id = 0; id < pb::kMessageCount; ++id)
            for (QChar c : pb::Msg(pb::MsgId(id), pb::LanguageAt(language)))
                EXPECT_TRUE(raw.supportsCharacter(c))
                    << "id " << id << " U+" << std::hex << int(c.unicode()) << " in "
                    << raw.familyName().toStdString();
    }
    w.ui().mnuEnglish->trigger();
    EXPECT_EQ(w.font().pointSize(), 10);
    EXPECT_FALSE(w.font().bold());
    // A control with a font of its own keeps its size and weight.
    EXPECT_EQ(w.ui().btnConnect->font().pixelSize(), 19);
    EXPECT_TRUE(w.ui().btnConnect->font().bold());
}

TEST_F(Window, StartsFromTheStoredSettings) {
    storeSettings(
        "[General]\nTYPE=7\nComPortName=ttyNOWHERE9\nComBaudRate=\"4800,e,8,1\"\n"
        "NetIP=127.0.0.1\nNetPort=6001\nLanguageFlag=ChineseGB\nFirmwareFile=/tmp/x.KVF\n");
    TfrmModule& w = open();
    auto& u = w.ui();
    EXPECT_EQ(u.pcPort->currentWidget(), u.tsNet);
    EXPECT_EQ(w.settings().link.kind, pb::LinkKind::Net);
    // The stored port name wins even though no such port is listed.
    EXPECT_EQ(u.cmbPort->currentText(), "ttyNOWHERE9");
    EXPECT_EQ(u.cmbPort->findText("ttyNOWHERE9"), -1);
    EXPECT_GT(u.cmbPort->count(), 0);
    EXPECT_EQ(u.cmbBaudrate->currentText(), "4800,e,8,1");
    EXPECT_EQ(u.edIP->text(), "127.0.0.1");
    EXPECT_EQ(u.edPort->text(), "6001");
    EXPECT_EQ(u.pnFile->text(), "/tmp/x.KVF");
    EXPECT_EQ(w.language(), pb::Language::SimplifiedChinese);
    EXPECT_EQ(u.btnInitial->text(), QStringLiteral("设定出厂值"));

    const pb::LinkSettings net = w.shownLinkSettings();
    EXPECT_EQ(net.kind, pb::LinkKind::Net);
    EXPECT_EQ(net.ip, "127.0.0.1");
    EXPECT_EQ(net.tcpPort, "6001");
    u.pcPort->setCurrentWidget(u.tsCom);
    const pb::LinkSettings com = w.shownLinkSettings();
    EXPECT_EQ(com.kind, pb::LinkKind::Com);
    EXPECT_EQ(com.portName, "ttyNOWHERE9");
    EXPECT_EQ(com.speed, "4800,e,8,1");
}

TEST_F(Window, SavingTheLinkTakesTheActivePageOnly) {
    storeSettings("[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=6001\n");
    TfrmModule& w = open(false);
    w.ui().cmbPort->setEditText("ttyEDITED");  // edited, but the TCP page is active
    w.ui().edPort->setText("6002");
    w.saveLinkSettings();
    QSettings stored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("TYPE").toInt(), 1);
    EXPECT_EQ(stored.value("NetPort").toString(), "6002");
    EXPECT_EQ(stored.value("ComPortName").toString(), "COM1");
}

TEST_F(Window, LampBlinksRedThenYellowWhileBusy) {
    TfrmModule& w = open();
    auto& u = w.ui();
    w.setLamp(pb::LampColour::Yellow);
    w.setBusy(true);
    EXPECT_FALSE(w.isEnabled());
    EXPECT_TRUE(u.tmrBusy->isActive());
    QList<QColor> seen;
    WaitForTicks(u.tmrBusy, 4, [&] { seen.append(u.shComm->brushColor()); });
    EXPECT_EQ(seen, (QList<QColor>{kRed, kYellow, kRed, kYellow}));
    w.setBusy(false);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_FALSE(u.tmrBusy->isActive());
    EXPECT_EQ(u.shComm->brushColor(), kYellow);  // kept as the timer left it
    w.setLamp(pb::LampColour::Red);
    EXPECT_EQ(u.shComm->brushColor(), kRed);
}

TEST_F(Window, ClockShowsThePcTimeTwiceASecond) {
    TfrmModule& w = open(false);
    QLabel* clock = w.ui().pnSetDate;
    WaitForTicks(w.ui().tmrClock, 1, [] {});
    static const QRegularExpression shape(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}$)");
    EXPECT_TRUE(shape.match(clock->text()).hasMatch()) << clock->text().toStdString();
    const QDateTime shown = QDateTime::fromString(clock->text(), "yyyy/MM/dd HH:mm:ss");
    EXPECT_LE(qAbs(shown.secsTo(QDateTime::currentDateTime())), 2);
}

TEST_F(Window, ScrollBarChoosesTheFourDigitId) {
    TfrmModule& w = open(false);
    w.ui().sbID->setValue(42);
    EXPECT_EQ(w.ui().pnID->text(), "0042");
    w.ui().sbID->setValue(9999);
    EXPECT_EQ(w.ui().pnID->text(), "9999");
    w.ui().sbID->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(w.ui().pnID->text(), "9989");
}

TEST_F(Window, AboutShowsTheToolInTheCurrentLanguage) {
    TfrmModule& w = open();
    w.ui().mnuSimplified->trigger();
    QString title, text;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->buttons().size();
        box->accept();
    });
    w.ui().mnuAbout->trigger();
    EXPECT_EQ(title, QStringLiteral("关于"));
    EXPECT_EQ(text, QStringLiteral("本软体支援: KV410系列控制器。"));
    EXPECT_EQ(buttons, 1);
}

TEST_F(Window, ExitClosesWithoutWritingSettings) {
    TfrmModule& w = open();
    w.ui().cmbPort->setEditText("ttyCHANGED");
    w.ui().mnuExit->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

// What the window makes of a test starting and ending: the continuous tests keep only
// their own button (now "Cancel test") and hide the other pages; afterwards the DI/DO
// test gives back the command page only, the polling test the firmware page as well.
TEST_F(Window, ContinuousTestsKeepOnlyTheirStopButtonInReach) {
    TfrmModule& w = open();
    auto& u = w.ui();
    const auto tabShown = [&](QWidget* page) {
        return u.pcMain->isTabVisible(u.pcMain->indexOf(page));
    };
    const auto enabledButtons = [&] {
        QStringList names;
        for (QPushButton* b : {u.btnConnect, u.btnSetDate, u.btnAlarm, u.btnDIDO, u.btnPooling,
                               u.btnInitial, u.btnReboot})
            if (b->isEnabled()) names << b->objectName();
        return names;
    };
    w.setFirmwarePageVisible(true);
    for (const pb::TestId test : {pb::TestId::Dido, pb::TestId::Polling}) {
        const bool dido = test == pb::TestId::Dido;
        SCOPED_TRACE(pb::TestName(test).toStdString());
        QPushButton* own = dido ? u.btnDIDO : u.btnPooling;
        w.ui().mnuTraditional->trigger();
        w.testStarted(test);
        EXPECT_EQ(own->text(), pb::Msg(pb::MsgId::CancelTest, pb::Language::TraditionalChinese));
        EXPECT_EQ(enabledButtons(), QStringList({own->objectName()}));
        EXPECT_FALSE(tabShown(u.tsFunction));
        EXPECT_FALSE(tabShown(u.tsCommand));
        EXPECT_FALSE(tabShown(u.tsFirmware));
        EXPECT_FALSE(u.mnuFirmwareFile->isVisible());

        // The language changes while it runs: the caption afterwards is in the new one.
        w.ui().mnuSimplified->trigger();
        w.testEnded(test, pb::Outcome::Ok);
        EXPECT_EQ(own->text(), pb::Msg(dido ? pb::MsgId::DidoTest : pb::MsgId::PoolingDataTest, pb::Language::SimplifiedChinese));
        EXPECT_EQ(enabledButtons().size(), 7);
        EXPECT_FALSE(tabShown(u.tsFunction));
        EXPECT_TRUE(tabShown(u.tsCommand));
        EXPECT_EQ(tabShown(u.tsFirmware), !dido);
        EXPECT_EQ(u.mnuFirmwareFile->isVisible(), !dido);
    }
}

// A one-shot test leaves the pages as they are; an identified controller unlocks them.
TEST_F(Window, OnlyAConnectThatEndsWellUnlocksTheTestPages) {
    TfrmModule& w = open();
    auto& u = w.ui();
    u.pcMain->setEnabled(false);
    for (const pb::Outcome outcome : {pb::Outcome::Error, pb::Outcome::OpenFailed}) {
        w.testStarted(pb::TestId::Connect);
        w.testEnded(pb::TestId::Connect, outcome);
        EXPECT_FALSE(u.pcMain->isEnabled());
    }
    w.testStarted(pb::TestId::SetDate);
    w.testEnded(pb::TestId::SetDate, pb::Outcome::Ok);
    EXPECT_FALSE(u.pcMain->isEnabled());
    w.testStarted(pb::TestId::Connect);
    w.testEnded(pb::TestId::Connect, pb::Outcome::Ok);
    EXPECT_TRUE(u.pcMain->isEnabled());
}

TEST_F(Window, WaitCursorIsPushedOnceAndPoppedOnce) {
    TfrmModule& w = open(false);
    w.setWaitCursor(true);
    w.setWaitCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    w.setWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    w.setWaitCursor(false);  // no second pop
}

}  // namespace
