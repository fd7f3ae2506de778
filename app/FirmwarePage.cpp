#include "app/FirmwarePage.h"

#include "app/FirmwareReleaseLabel.h"

#include <QFileDialog>

#include "app/Controls.h"
#include "firmware/ModelCheck.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/FileFilterTexts.h"
#include "i18n/Messages.h"
#include "procedures/TestRunView.h"

FirmwarePage::FirmwarePage(QWidget* parent) : QWidget(parent) {
    using namespace Ui;
    setObjectName(QStringLiteral("tsFirmware"));

    QWidget* f = this;
    pnFirmwareNote = Panel(f, "pnFirmwareNote", "Note !", {8, 8, 641, 41});
    Paint(pnFirmwareNote, Qt::red, Qt::yellow);
    moFirmwareNote = Make<QPlainTextEdit>(f, "moFirmwareNote", {9, 48, 641, 105});
    moFirmwareNote->setReadOnly(true);
    moFirmwareNote->setPlainText(
        "Upgrading the firmware of the Product will lost some data on the \n"
        "Product. To ensure data security, it is recommended that you back \n"
        "up your data before update.");
    Paint(moFirmwareNote, Qt::red, Qt::white);
    OwnFont(moFirmwareNote, 16, QFont::Bold);
    Panel3 = Panel(f, "Panel3", "Firmware file", {8, 168, 113, 33});
    pnFile = Panel(f, "pnFile", {}, {120, 168, 529, 33});
    Panel1 = Panel(f, "Panel1", "Program", {7, 208, 114, 33});
    pbProgram = Make<QProgressBar>(f, "pbProgram", {120, 208, 529, 33});
    Panel2 = Panel(f, "Panel2", "Verify", {7, 248, 114, 33});
    pbVerify = Make<QProgressBar>(f, "pbVerify", {120, 248, 529, 33});
    for (QProgressBar* bar : {pbProgram, pbVerify}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        // The figures of an upgrade, written over the bar; none before the first.
        bar->setTextVisible(false);
        bar->setAlignment(Qt::AlignCenter);
        // An upgrade runs with the window disabled: the bars are read then, so they keep
        // the colours of an enabled window.
        QPalette palette = bar->palette();
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = QPalette::ColorRole(role);
            palette.setBrush(QPalette::Disabled, r, palette.brush(QPalette::Active, r));
        }
        bar->setPalette(palette);
    }
    for (QLabel* panel : {Panel3, pnFile, Panel1, Panel2})
        panel->setToolTip(QStringLiteral("Fimeware filename"));
    btnFirmware = Button(f, "btnFirmware", "Firmware load", {8, 288, 641, 73});
}

void FirmwarePage::applyLanguage(pb::Language language) {
    using enum pb::MsgId;
    // The note, one line that the memo wraps.
    pnFirmwareNote->setText(pb::Msg(Note, language));
    moFirmwareNote->clear();
    moFirmwareNote->appendPlainText(pb::Msg(FirmwareNote, language));
    btnFirmware->setText(pb::Msg(FirmwareLoad, language));
    language_ = language;
    showRelease();
    showFigures(pb::FirmwareBar::Program);
    showFigures(pb::FirmwareBar::Verify);
    if (dlgLoad_) dlgLoad_->setNameFilters(pb::FirmwareFileFilters(pb::LanguageIndex(language_)));
}

void FirmwarePage::clearBars() {
    pbProgram->setValue(0);
    pbVerify->setValue(0);
    clearBarProgress();
}

void FirmwarePage::upgradeStarts() {
    pbProgram->setProperty("emptyImage", false);
    pbVerify->setProperty("emptyImage", false);
    clearBarProgress();
}

void FirmwarePage::setBarProgress(pb::FirmwareBar bar, const pb::BarProgress& progress) {
    figures_[int(bar)] = progress;
    showFigures(bar);
}

void FirmwarePage::clearBarProgress() {
    for (pb::FirmwareBar bar : {pb::FirmwareBar::Program, pb::FirmwareBar::Verify}) {
        figures_[int(bar)].reset();
        showFigures(bar);
    }
}

void FirmwarePage::showFigures(pb::FirmwareBar bar) {
    QProgressBar* shown = barOf(bar);
    const std::optional<pb::BarProgress>& p = figures_[int(bar)];
    shown->setTextVisible(bool(p));
    if (!p) return shown->setFormat(QString());
    const QString text = pb::BarProgressText(p->done, p->total, p->elapsedMs, p->remainingMs,
                                             pb::LanguageIndex(language_));
    // The bar fills in only "%p", "%v" and "%m"; the figures' "%" stands before a blank.
    shown->setFormat(text);
}

// A bar with the range 0..0 would spin as "busy"; an empty image shows a full bar.
void FirmwarePage::setMaximum(QProgressBar* bar, int maximum) {
    bar->setProperty("emptyImage", maximum <= 0);
    bar->setRange(0, qMax(maximum, 1));
}

void FirmwarePage::setPosition(QProgressBar* bar, int position) {
    bar->setValue(bar->property("emptyImage").toBool() ? bar->maximum() : position);
}

// --- The firmware file and the upgrade.

void FirmwarePage::runsThrough(const pb::RunRequest& run, pb::Settings& settings, pb::TestRunView& status) {
    settings_ = &settings;
    status_ = &status;
    run_ = run;
    connect(btnFirmware, &QPushButton::clicked, this, &FirmwarePage::btnFirmwareClick);
}

void FirmwarePage::mnuFirmwareFileClick() {
    QFileDialog* dialog = dlgLoad();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    clearBars();
    SaveFirmwareFile(dialog->selectedFiles().first());
    // The header names the model the file is for, or tells that it is no firmware file at
    // all; a file that cannot be read shows nothing.
    if (const auto header = pb::ReadFirmwareHeader(settings_->firmwareFile))
        status_->setStatus(pb::FirmwareFileLabel(*header, language_));
}

void FirmwarePage::btnFirmwareClick() {
    upgradeStarts();
    pb::TestParams p;
    p.upgrade.file = settings_->firmwareFile;
    // The window programs what the loader takes and says so; nothing is refused first.
    p.upgrade.checkFitFirst = false;
    p.upgrade.trustedKeys = settings_->trustedKeys;
    p.upgrade.signedOnly = settings_->signedFirmwareOnly;
    run_({pb::TestId::FirmwareUpgrade, p});
}

void FirmwarePage::SaveFirmwareFile(const QString& fileName) {
    settings_->firmwareFile = fileName;
    pnFile->setText(fileName);
    pb::SaveFirmwareFile(*settings_);
    showRelease();
}

void FirmwarePage::showRelease() {
    if (!settings_) return;
    if (!releaseLabel_) {
        // On the file name's panel, at its right end.
        releaseLabel_ = new FirmwareReleaseLabel(pnFile);
        const QRect panel = pnFile->rect();
        releaseLabel_->setGeometry(panel.width() / 2, 0, panel.width() / 2 - 4, panel.height());
    }
    const pb::FirmwareReleaseRef release = pb::ReadFirmwareRelease(settings_->firmwareFile);
    releaseLabel_->showRelease(*release, pb::ReleasePolicy::of(settings_->trustedKeys, settings_->signedFirmwareOnly),
                               language_);
}

QFileDialog* FirmwarePage::dlgLoad() {
    if (!dlgLoad_) {
        dlgLoad_ = new QFileDialog(window());
        dlgLoad_->setObjectName(QStringLiteral("dlgLoad"));
        dlgLoad_->setFileMode(QFileDialog::ExistingFile);
        dlgLoad_->setAcceptMode(QFileDialog::AcceptOpen);
        dlgLoad_->setNameFilters(pb::FirmwareFileFilters(pb::LanguageIndex(language_)));
    }
    return dlgLoad_;
}
