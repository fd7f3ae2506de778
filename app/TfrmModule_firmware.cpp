// The firmware file menu and the firmware upgrade.
#include <QFileDialog>

#include "app/FirmwareReleaseLabel.h"
#include "app/TfrmModule.h"
#include "firmware/ModelCheck.h"

void TfrmModule::showFirmwareRelease() {
    if (!releaseLabel_) {
        // On the file name's panel, at its right end.
        releaseLabel_ = new FirmwareReleaseLabel(ui_.tsFirmware->pnFile);
        const QRect panel = ui_.tsFirmware->pnFile->rect();
        releaseLabel_->setGeometry(panel.width() / 2, 0, panel.width() / 2 - 4, panel.height());
    }
    const pb::FirmwareReleaseRef release = pb::ReadFirmwareRelease(settings_.firmwareFile);
    releaseLabel_->showRelease(*release, pb::ReleasePolicy::of(settings_.trustedKeys, settings_.signedFirmwareOnly),
                               language_);
}

void TfrmModule::mnuFirmwareFileClick() {
    QFileDialog* dialog = dlgLoad();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    ui_.tsFirmware->clearBars();
    SaveFirmwareFile(dialog->selectedFiles().first());
    // The header names the model the file is for, or tells that it is no firmware file at
    // all; a file that cannot be read shows nothing.
    if (const auto header = pb::ReadFirmwareHeader(settings_.firmwareFile))
        setStatus(pb::FirmwareFileLabel(*header, language_));
}

void TfrmModule::btnFirmwareClick() {
    ui_.tsFirmware->upgradeStarts();
    pb::TestParams p;
    p.upgrade.file = settings_.firmwareFile;
    // The window programs what the loader takes and says so; nothing is refused first.
    p.upgrade.checkFitFirst = false;
    p.upgrade.trustedKeys = settings_.trustedKeys;
    p.upgrade.signedOnly = settings_.signedFirmwareOnly;
    runTest({pb::TestId::FirmwareUpgrade, p});
}
