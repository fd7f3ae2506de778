#include "app/TfrmModule.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QShowEvent>

#include "app/SerialPortList.h"
#include "app/TestButtons.h"
#include "app/TonePlayer.h"
#include "app/WindowColours.h"
#include "i18n/FileFilterTexts.h"
#include "i18n/LinkFailureTexts.h"
#include "i18n/Messages.h"

TfrmModule::TfrmModule(QWidget* parent) : QMainWindow(parent) {
    ui_.setupUi(this);
    wireEvents();
    FormCreate();
    openRecords();
    ui_.tmrClock->start();
}

TfrmModule::~TfrmModule() {
    // A wait cursor must not outlive the window.
    setWaitCursor(false);
    // The windows over the records and the log go before them; the records close in
    // their order (the uploader first, this PC's store last).
    windows_.reset();
    records_.reset();
}

void TfrmModule::wireEvents() {
    auto& u = ui_;
    connect(u.tmrBusy, &QTimer::timeout, this, &TfrmModule::tmrBusyTimer);
    connect(u.tmrClock, &QTimer::timeout, this, &TfrmModule::tmrClockTimer);
    connect(u.sbID, &QScrollBar::valueChanged, this, &TfrmModule::sbIDChange);

    connect(u.mnuAbout, &QAction::triggered, this, &TfrmModule::mnuAboutClick);
    connect(u.mnuExit, &QAction::triggered, this, &TfrmModule::mnuExitClick);
    connect(u.mnuEnglish, &QAction::triggered, this, &TfrmModule::mnuEnglishClick);
    connect(u.mnuSimplified, &QAction::triggered, this, &TfrmModule::mnuSimplifiedClick);
    connect(u.mnuTraditional, &QAction::triggered, this, &TfrmModule::mnuTraditionalClick);
    connect(u.mnuFirmwareFile, &QAction::triggered, this, &TfrmModule::mnuFirmwareFileClick);
    connect(u.mnuOperator, &QAction::triggered, this, &TfrmModule::mnuOperatorClick);
    connect(u.mnuSharedRecords, &QAction::triggered, this, &TfrmModule::mnuSharedRecordsClick);
    connect(u.mnuRecords, &QAction::triggered, this, &TfrmModule::mnuRecordsClick);
    connect(u.mnuTrafficMonitor, &QAction::triggered, this, &TfrmModule::mnuTrafficMonitorClick);
    connect(u.mnuLineOverview, &QAction::triggered, this, &TfrmModule::mnuLineOverviewClick);
    connect(u.mnuStation, &QAction::triggered, this, &TfrmModule::mnuStationClick);

    connect(u.btnConnect, &QPushButton::clicked, this, &TfrmModule::btnConnectClick);
    connect(u.btnSetDate, &QPushButton::clicked, this, &TfrmModule::btnSetDateClick);
    connect(u.btnAlarm, &QPushButton::clicked, this, &TfrmModule::btnAlarmClick);
    connect(u.btnInitial, &QPushButton::clicked, this, &TfrmModule::btnInitialClick);
    connect(u.btnReboot, &QPushButton::clicked, this, &TfrmModule::btnRebootClick);
    connect(u.btnDIDO, &QPushButton::clicked, this, &TfrmModule::btnDIDOClick);
    connect(u.btnCommand, &QPushButton::clicked, this, &TfrmModule::btnCommandClick);
    connect(u.btnModuleCommand, &QPushButton::clicked, this, &TfrmModule::btnModuleCommandClick);
    connect(u.btnPooling, &QPushButton::clicked, this, &TfrmModule::btnPoolingClick);
    connect(u.btnFirmware, &QPushButton::clicked, this, &TfrmModule::btnFirmwareClick);
    // The catalogue's buttons of tests that take nothing run their test as they are.
    pb::WireTestButtons(this, this, [this](const pb::TestRequest& request) { runTest(request); });

    // The adapter last used came back under another name: say so in the status line.
    connect(u.cmbPort, &pb::PortComboBox::adapterMoved, this, [this](const QString& from, const QString& to) {
        ui_.pnMsg->setText(pb::AdapterMovedText(from, to, pb::LanguageIndex(language_)));
    });
}

void TfrmModule::FormCreate() {
    // 1. Defaults.
    settings_ = pb::Settings{};
    language_ = pb::Language::English;
    state_ = pb::ControllerState{};

    // 2. The stored values over them.
    const int storedKind = pb::LoadSettings(settings_);
    language_ = settings_.language;

    // 3-5. The ports of this PC (COM1 .. COM16 when none); the stored name wins as text.
    ui_.cmbPort->setPorts(pb::ListSerialPorts(), settings_.link.portName);
    ui_.cmbPort->setAdapter(settings_.comPortAdapter, settings_.link.portName);
    ui_.cmbPort->followPorts();
    ui_.cmbBaudrate->setEditText(settings_.link.speed);
    ui_.edIP->setText(settings_.link.ip);
    ui_.edPort->setText(settings_.link.tcpPort);
    ui_.pnFile->setText(settings_.firmwareFile);

    // 6. The page of the stored link kind.
    settings_.link.kind = storedKind == 0 ? pb::LinkKind::Com : pb::LinkKind::Net;
    ui_.pcPort->setCurrentWidget(storedKind == 0 ? ui_.tsCom : ui_.tsNet);
    linkSettings_ = settings_.link;
}

void TfrmModule::FormShow() {
    ApplyLanguage();
    showFirmwareRelease();
    showRecordsProblem();
}

void TfrmModule::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Shown by the program, not restored from the task bar.
    if (!event->spontaneous()) FormShow();
}

QString TfrmModule::Msg(pb::MsgId id) const {
    return pb::Msg(id, language_);
}

void TfrmModule::tmrBusyTimer() {
    if (tmrBusyTag_ == 1) {
        tmrBusyTag_ = 0;
        ui_.shComm->setBrushColor(pb::ColourFromBgr(pb::kBgrYellow));
    } else {
        tmrBusyTag_ = 1;
        ui_.shComm->setBrushColor(pb::ColourFromBgr(pb::kBgrRed));
    }
}

void TfrmModule::tmrClockTimer() {
    ui_.pnSetDate->setText(QDateTime::currentDateTime().toString(u"yyyy/MM/dd HH:mm:ss"));
}

void TfrmModule::sbIDChange() {
    ui_.pnID->setText(QString::asprintf("%04d", ui_.sbID->value()));
}

void TfrmModule::mnuAboutClick() {
    QMessageBox box(QMessageBox::Information, Msg(pb::MsgId::About), Msg(pb::MsgId::AboutText),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.exec();
}

void TfrmModule::mnuExitClick() {
    close();
}

void TfrmModule::SaveLinkSettings() {
    const pb::LinkSettings active = shownLinkSettings();
    // The adapter behind the port name is kept beside it.
    if (active.kind == pb::LinkKind::Com) {
        settings_.comPortAdapter = ui_.cmbPort->adapterOf(active.portName);
        ui_.cmbPort->setAdapter(settings_.comPortAdapter, active.portName);
    }
    pb::SaveLinkSettings(settings_, active);
}

void TfrmModule::SaveFirmwareFile(const QString& fileName) {
    settings_.firmwareFile = fileName;
    ui_.pnFile->setText(fileName);
    pb::SaveFirmwareFile(settings_);
    showFirmwareRelease();
}

QFileDialog* TfrmModule::dlgLoad() {
    if (!dlgLoad_) {
        dlgLoad_ = new QFileDialog(this);
        dlgLoad_->setObjectName(QStringLiteral("dlgLoad"));
        dlgLoad_->setFileMode(QFileDialog::ExistingFile);
        dlgLoad_->setAcceptMode(QFileDialog::AcceptOpen);
        dlgLoad_->setNameFilters(pb::FirmwareFileFilters(pb::LanguageIndex(language_)));
    }
    return dlgLoad_;
}

// --- The window as the test-run frame sees it.

void TfrmModule::setStatus(const QString& text) {
    ui_.pnMsg->setText(text);
    ui_.pnMsg->setToolTip(runNote_);
}

void TfrmModule::linkNote(const QString& port, const QString& text) {
    if (notedPorts_.contains(port)) return;
    notedPorts_.insert(port);
    runNote_ = text;
    ui_.pnMsg->setToolTip(text);
}

void TfrmModule::setStatusAdvice(const QString& text) {
    // The status line keeps its one line; the facts and the fix are a hover away.
    ui_.pnMsg->setToolTip(text);
}

void TfrmModule::setLamp(pb::LampColour colour) {
    ui_.shComm->setBrushColor(
        pb::ColourFromBgr(colour == pb::LampColour::Yellow ? pb::kBgrYellow : pb::kBgrRed));
}

void TfrmModule::setBusy(bool on) {
    if (on) {
        ui_.tmrBusy->start();
        setEnabled(false);
    } else {
        setEnabled(true);
        ui_.tmrBusy->stop();
    }
}

void TfrmModule::setWaitCursor(bool on) {
    // The override cursor is a stack: push once, pop once.
    if (on && !waitCursorShown_) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!on && waitCursorShown_) QApplication::restoreOverrideCursor();
    waitCursorShown_ = on;
}

void TfrmModule::beep(int frequencyHz, int durationMs) {
    if (!tonePlayer_) tonePlayer_ = new pb::TonePlayer(this);
    tonePlayer_->play(frequencyHz, durationMs);
}

void TfrmModule::processEvents() {
    QCoreApplication::processEvents();
}

pb::LinkSettings TfrmModule::shownLinkSettings() {
    if (ui_.pcPort->currentWidget() == ui_.tsCom) {
        linkSettings_.kind = pb::LinkKind::Com;
        linkSettings_.portName = ui_.cmbPort->currentText();
        linkSettings_.speed = ui_.cmbBaudrate->currentText();
    } else {
        linkSettings_.kind = pb::LinkKind::Net;
        linkSettings_.ip = ui_.edIP->text();
        linkSettings_.tcpPort = ui_.edPort->text();
    }
    return linkSettings_;
}

void TfrmModule::setFirmwarePageVisible(bool on) {
    ui_.pcMain->setTabVisible(ui_.pcMain->indexOf(ui_.tsFirmware), on);
    // The page is no use without a way to choose its file.
    ui_.mnuFirmwareFile->setVisible(on);
    ui_.mnuLine1->setVisible(on);
}
