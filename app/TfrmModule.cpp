#include "app/TfrmModule.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QMessageBox>

#include "app/Controls.h"
#include "app/TestButtons.h"
#include "app/TonePlayer.h"
#include "app/WindowColours.h"
#include "app/WindowFont.h"
#include "i18n/LanguageFont.h"
#include "i18n/LinkFailureTexts.h"
#include "i18n/Messages.h"
#include "records/store/RunRecordsObserver.h"
#include "runner/ButtonRun.h"

TfrmModule::TfrmModule(QWidget* parent) : QMainWindow(parent) {
    ui_.setupUi(this);
    wireEvents();
    FormCreate();
    menus_ = std::make_unique<pb::RecordsMenus>(this, settings_, link_, ui_, [this] { return shownLinkSettings(); });
    ui_.tmrClock->start();
}

TfrmModule::~TfrmModule() {
    // A wait cursor must not outlive the window; the records close before the controls.
    setWaitCursor(false);
    menus_.reset();
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
    connect(u.btnConnect, &QPushButton::clicked, this, &TfrmModule::btnConnectClick);
    // Each page's buttons, and the catalogue's buttons of tests that take nothing, ask
    // the window to run their tests.
    const pb::RunRequest run = [this](const pb::TestRequest& request) { runTest(request); };
    u.tsTest->runsThrough(run);
    u.tsCommand->runsThrough(run);
    u.tsFirmware->runsThrough(run, settings_, *this);
    connect(u.mnuFirmwareFile, &QAction::triggered, u.tsFirmware, &FirmwarePage::mnuFirmwareFileClick);
    pb::WireTestButtons(this, this, run);
    // The adapter last used came back under another name: say so in the status line.
    connect(u.cmbPort, &pb::PortComboBox::adapterMoved, this, [this](const QString& from, const QString& to) {
        ui_.pnMsg->setText(pb::AdapterMovedText(from, to, pb::LanguageIndex(language())));
    });
}

void TfrmModule::FormCreate() {
    // Defaults, the stored values over them; the stored link and firmware file shown.
    settings_ = pb::Settings{};
    state_ = pb::ControllerState{};
    const int storedKind = pb::LoadSettings(settings_);
    settings_.link.kind = storedKind == 0 ? pb::LinkKind::Com : pb::LinkKind::Net;
    ui_.pcPort->showStored(settings_);
    ui_.pnFile->setText(settings_.firmwareFile);
}

void TfrmModule::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Shown by the program, not restored from the task bar.
    if (!event->spontaneous()) FormShow();
}

void TfrmModule::tmrBusyTimer() {
    tmrBusyTag_ = tmrBusyTag_ == 1 ? 0 : 1;
    ui_.shComm->setBrushColor(pb::ColourFromBgr(tmrBusyTag_ == 1 ? pb::kBgrRed : pb::kBgrYellow));
}

void TfrmModule::tmrClockTimer() {
    ui_.pnSetDate->setText(QDateTime::currentDateTime().toString(u"yyyy/MM/dd HH:mm:ss"));
}

void TfrmModule::mnuAboutClick() {
    using enum pb::MsgId;
    QMessageBox box(QMessageBox::Information, Msg(About), Msg(AboutText), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.exec();
}

// --- The window in the current language: font, menu check marks and captions, the link
// selector, and each page's captions.

void TfrmModule::ApplyLanguage() {
    using enum pb::MsgId;
    auto& u = ui_;
    const pb::Language language = settings_.language;
    // 1. Font.
    const pb::LanguageFont font = pb::LanguageFontFor(pb::LanguageIndex(language));
    setFont(pb::WindowFontFor(font, this->font()));
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, pb::ColourFromBgr(font.colour));
    setPalette(palette);
    // 2. Check marks.
    u.mnuEnglish->setChecked(language == pb::Language::English);
    u.mnuSimplified->setChecked(language == pb::Language::SimplifiedChinese);
    u.mnuTraditional->setChecked(language == pb::Language::TraditionalChinese);
    // 3. Caption.
    setWindowTitle(Msg(Caption));
    // 4. Language menu; each language item always in its own language.
    u.mnuLanguage->setText(Msg(MenuLanguage));
    u.mnuEnglish->setText(pb::Msg(MenuLanguageItem, pb::Language::English));
    u.mnuSimplified->setText(pb::Msg(MenuLanguageItem, pb::Language::SimplifiedChinese));
    u.mnuTraditional->setText(pb::Msg(MenuLanguageItem, pb::Language::TraditionalChinese));
    // 5. The other menu items.
    u.mnuFile->setText(Msg(MenuFile));
    u.mnuFirmwareFile->setText(Msg(MenuFirmwareFile));
    u.mnuAbout->setText(Msg(MenuAbout));
    u.mnuExit->setText(Msg(MenuExit));
    menus_->applyLanguage();
    // 6. Link selector.
    u.pcPort->applyLanguage(language);
    // 7. Test pages.
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsTest), Msg(BasicTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsCommand), Msg(CommandTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsFunction), Msg(FunctionTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsFirmware), Msg(FirmwareUpgrade));
    // 8. Connect, and the pages; a running DI/DO or polling test keeps its cancel caption.
    u.btnConnect->setText(Msg(ConnectDevice));
    u.tsTest->applyLanguage(language, state_.didoRunning, state_.pollingRunning);
    pb::CaptionTestButtons(this, pb::LanguageIndex(language));
    u.tsCommand->applyLanguage(language);
    u.tsFirmware->applyLanguage(language);
    // 9. Status line.
    u.pnMsg->setText(Msg(StartConnectDevice));
    // 10. The drop-down menus, once their font and captions are set.
    for (QMenu* menu : {u.mnuFileMenu, u.mnuViewMenu, u.mnuLanguageMenu}) Ui::FitMenuToCaptions(menu);
}

void TfrmModule::chooseLanguage(pb::Language language) {
    settings_.language = language;
    settings_.languageFlag = pb::LanguageFlagFor(language);
    pb::SaveLanguage(settings_);
    FormShow();
}

// --- A test run: the window's rig, and the window as the test-run frame sees it.

void TfrmModule::runTest(const pb::TestRequest& request) {
    // The link page's settings, read as the test starts, go to the test.
    const pb::LinkSettings settings = shownLinkSettings();
    pb::RunObserver* observer = runObserver_ ? runObserver_ : &menus_->records().observer();
    pb::Clock& clock = procedureClock_ ? *procedureClock_ : clock_;
    pb::ProcedureContext ctx{link_, settings, *this, *this, *ui_.tsTest, *ui_.tsTest, *ui_.tsCommand, clock, state_, observer};
    pb::TestRig rig{ctx, *ui_.tsFirmware, &ui_.tsFirmware->buffer()};
    ++proceduresRunning_;
    pb::RunButton(rig, request);
    --proceduresRunning_;
    menus_->runEnded(*this);
    // A close asked for while the test ran is carried out now that it has ended.
    if (proceduresRunning_ == 0 && closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void TfrmModule::closeEvent(QCloseEvent* event) {
    if (proceduresRunning_ == 0) {
        QMainWindow::closeEvent(event);
        if (event->isAccepted()) menus_->windows().closeAll();
        return;
    }
    // Never under a running test: a DI/DO test stops at the end of its cycle, a polling
    // test after the record in hand, any other test runs to its end, and then the window closes.
    closeRequested_ = true;
    state_.didoRunning = false;
    state_.pollingRunning = false;
    event->ignore();
}

void TfrmModule::testStarted(pb::TestId test) {
    runNote_.clear();  // a link note is told with the run that found it
    holdDuring(test, true);
}

void TfrmModule::testEnded(pb::TestId test, pb::Outcome outcome) {
    // An identified controller unlocks the test pages.
    if (test == pb::TestId::Connect && outcome == pb::Outcome::Ok) ui_.pcMain->setEnabled(true);
    holdDuring(test, false);
}

// A continuous test (DI/DO, polling) keeps only its own button in reach, to stop it, and
// hides the command and firmware pages; after it the command page is back, after polling
// the firmware page too.
void TfrmModule::holdDuring(pb::TestId test, bool running) {
    auto& u = ui_;
    if (test != pb::TestId::Dido && test != pb::TestId::Polling) return;
    const bool dido = test == pb::TestId::Dido;
    u.tsTest->holdFor(dido, running, language());
    for (QPushButton* b : QList<QPushButton*>{u.btnConnect} + pb::TestButtonsIn(this)) b->setEnabled(!running);
    u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsCommand), !running);
    if (running || !dido) setFirmwarePageVisible(!running);
}

void TfrmModule::setFirmwarePageVisible(bool on) {
    ui_.pcMain->setTabVisible(ui_.pcMain->indexOf(ui_.tsFirmware), on);
    // The page is no use without a way to choose its file.
    ui_.mnuFirmwareFile->setVisible(on);
    ui_.mnuLine1->setVisible(on);
}

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

void TfrmModule::setLamp(pb::LampColour colour) {
    ui_.shComm->setBrushColor(pb::ColourFromBgr(colour == pb::LampColour::Yellow ? pb::kBgrYellow : pb::kBgrRed));
}

void TfrmModule::setBusy(bool on) {
    if (on) ui_.tmrBusy->start();
    setEnabled(!on);
    if (!on) ui_.tmrBusy->stop();
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
