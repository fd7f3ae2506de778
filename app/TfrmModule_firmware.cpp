// The firmware file menu and the firmware upgrade.
#include <QFileDialog>
#include <QProgressBar>

#include "app/TfrmModule.h"
#include "app/WindowRunView.h"
#include "firmware/FirmwareUpgrade.h"

namespace {

// The window as the upgrade sees it: the test-run bracket and the two progress bars.
class FirmwareWindowView : public WindowRunViewOf<pb::TestRunView>,
                           public pb::FirmwareProgressView {
public:
    using WindowRunViewOf::WindowRunViewOf;

    void setProgramMaximum(int maximum) override { setMaximum(u_.pbProgram, maximum); }
    void setProgramPosition(int position) override { setPosition(u_.pbProgram, position); }
    void setVerifyMaximum(int maximum) override { setMaximum(u_.pbVerify, maximum); }
    void setVerifyPosition(int position) override { setPosition(u_.pbVerify, position); }

private:
    // A bar with the range 0..0 would spin as "busy"; an empty image shows a full bar.
    static void setMaximum(QProgressBar* bar, int maximum) {
        bar->setProperty("emptyImage", maximum <= 0);
        bar->setRange(0, qMax(maximum, 1));
    }
    static void setPosition(QProgressBar* bar, int position) {
        bar->setValue(bar->property("emptyImage").toBool() ? bar->maximum() : position);
    }
};

}  // namespace

void TfrmModule::mnuFirmwareFileClick() {
    QFileDialog* dialog = dlgLoad();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    ui_.pbProgram->setValue(0);
    ui_.pbVerify->setValue(0);
    SaveFirmwareFile(dialog->selectedFiles().first());
    // The header names the model the file is for; a file that cannot be read shows nothing.
    if (const auto header = pb::ReadFirmwareHeaderText(settings_.firmwareFile)) setStatus(*header);
}

void TfrmModule::btnFirmwareClick() {
    FirmwareWindowView view(*this);
    ui_.pbProgram->setProperty("emptyImage", false);
    ui_.pbVerify->setProperty("emptyImage", false);
    const pb::FirmwareJob job{settings_.firmwareFile, state_.deviceId, state_.modelKind,
                              ui_.pnVER->text()};
    holdingClose([&] {
        pb::FirmwareUpgrade(link_, view, view, procedureClock()).run(job, firmwareBuffer_);
    });
}
