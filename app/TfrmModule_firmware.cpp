// The firmware file menu and the firmware upgrade.
#include <QFileDialog>

#include "app/TfrmModule.h"
#include "firmware/ModelCheck.h"

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
    runTest({pb::TestId::FirmwareUpgrade, p});
}
