#pragma once
// Page tsFirmware: the warning note, the chosen file and the program and verify bars.

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "firmware/FirmwareProgressView.h"
#include "i18n/Language.h"

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
    QProgressBar* barOf(pb::FirmwareBar bar) const {
        return bar == pb::FirmwareBar::Program ? pbProgram : pbVerify;
    }
    // The figures last shown, kept to write them again in another language.
    void showFigures(pb::FirmwareBar bar);

    pb::Language language_ = pb::Language::English;
    std::optional<pb::BarProgress> figures_[2];

    static void setMaximum(QProgressBar* bar, int maximum);
    static void setPosition(QProgressBar* bar, int position);
};
