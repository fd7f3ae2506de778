#pragma once
// Page tsFirmware: the warning note, the chosen file and the program and verify bars; it
// keeps the file chosen in the firmware file menu and asks the window to program it.

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "app/TestButtons.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareProgressView.h"
#include "i18n/Language.h"
#include "settings/Settings.h"

class QFileDialog;

namespace pb {
class TestRunView;
}  // namespace pb

namespace Ui {

// The page's controls, each under its object name.
struct FirmwarePageControls {
    QLabel* pnFirmwareNote = nullptr;
    QPlainTextEdit* moFirmwareNote = nullptr;
    QLabel* Panel3 = nullptr;
    QLabel* pnFile = nullptr;
    QLabel* Panel1 = nullptr;
    QProgressBar* pbProgram = nullptr;
    QLabel* Panel2 = nullptr;
    QProgressBar* pbVerify = nullptr;
    QPushButton* btnFirmware = nullptr;
};

}  // namespace Ui

class FirmwarePage : public QWidget,
                     public Ui::FirmwarePageControls,
                     public pb::FirmwareProgressView {
    Q_OBJECT
public:
    explicit FirmwarePage(QWidget* parent = nullptr);

    void applyLanguage(pb::Language language);
    // The file chosen (kept in `settings`, its model told in `status`) is what the upgrade
    // button asks `run` to program.
    void runsThrough(const pb::RunRequest& run, pb::Settings& settings, pb::TestRunView& status);
    // The firmware file menu's entry: a file chosen in dlgLoad is kept.
    void mnuFirmwareFileClick();
    void btnFirmwareClick();
    // Remembers and saves the firmware file, and shows it in pnFile.
    void SaveFirmwareFile(const QString& fileName);
    // The file-open dialog, made when first needed.
    QFileDialog* dlgLoad();
    // The block buffer and block count, loaded by the model check.
    pb::FirmwareBuffer& buffer() { return buffer_; }
    // Both bars back to empty (a new file was chosen).
    void clearBars();
    // An upgrade begins: the bars follow its block counts again.
    void upgradeStarts();

    // pb::FirmwareProgressView
    void setProgramMaximum(int maximum) override { setMaximum(pbProgram, maximum); }
    void setProgramPosition(int position) override { setPosition(pbProgram, position); }
    void setVerifyMaximum(int maximum) override { setMaximum(pbVerify, maximum); }
    void setVerifyPosition(int position) override { setPosition(pbVerify, position); }
    // The blocks, percent and times over the bar, in the page's language.
    void setBarProgress(pb::FirmwareBar bar, const pb::BarProgress& progress) override;
    void clearBarProgress() override;

private:
    // The chosen file's release state, beside its name.
    void showRelease();
    class FirmwareReleaseLabel* releaseLabel_ = nullptr;
    QProgressBar* barOf(pb::FirmwareBar bar) const {
        return bar == pb::FirmwareBar::Program ? pbProgram : pbVerify;
    }
    // The figures last shown, kept to write them again in another language.
    void showFigures(pb::FirmwareBar bar);

    pb::Language language_ = pb::Language::English;
    pb::RunRequest run_;
    pb::Settings* settings_ = nullptr;
    pb::TestRunView* status_ = nullptr;
    QPointer<QFileDialog> dlgLoad_;
    pb::FirmwareBuffer buffer_;
    std::optional<pb::BarProgress> figures_[2];

    static void setMaximum(QProgressBar* bar, int maximum);
    static void setPosition(QProgressBar* bar, int position);
};
