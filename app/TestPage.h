#pragma once
// Page tsTest: the controller's clock and alarm, its inputs and outputs, the polling
// panels and the restart buttons. Its buttons' handlers ask the window to run their tests;
// it shows what the DI/DO and polling tests report.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "app/Lamp.h"
#include "app/TestButtons.h"
#include "i18n/Language.h"
#include "procedures/DidoView.h"
#include "procedures/PollingView.h"

namespace Ui {

// The page's controls, each under its object name.
struct TestPageControls {
    QLabel* pnSetDate = nullptr;
    QPushButton* btnSetDate = nullptr;
    QComboBox* cmbAlarm = nullptr;
    QPushButton* btnAlarm = nullptr;
    pb::Lamp* shDI1 = nullptr;
    pb::Lamp* shDI2 = nullptr;
    pb::Lamp* shDI3 = nullptr;
    pb::Lamp* shDI4 = nullptr;
    pb::Lamp* shDI5 = nullptr;
    pb::Lamp* shDI6 = nullptr;
    pb::Lamp* shDI7 = nullptr;
    pb::Lamp* shDI8 = nullptr;
    QLabel* lblDI1 = nullptr;
    QLabel* lblDI2 = nullptr;
    QLabel* lblDI3 = nullptr;
    QLabel* lblDI4 = nullptr;
    QLabel* lblDI5 = nullptr;
    QLabel* lblDI6 = nullptr;
    QLabel* lblDI7 = nullptr;
    QLabel* lblDI8 = nullptr;
    QCheckBox* chkDO1 = nullptr;
    QCheckBox* chkDO2 = nullptr;
    QCheckBox* chkDO3 = nullptr;
    QCheckBox* chkDO4 = nullptr;
    QPushButton* btnDIDO = nullptr;
    QLabel* pnPoolingDate = nullptr;
    QLabel* pnPoolingData = nullptr;
    QPushButton* btnPooling = nullptr;
    QPushButton* btnInitial = nullptr;
    QPushButton* btnReboot = nullptr;
    // The same lamps, labels and check boxes by number (index 0 is DI1 / DO1).
    std::array<pb::Lamp*, 8> shDI{};
    std::array<QLabel*, 8> lblDI{};
    std::array<QCheckBox*, 4> chkDO{};
};

}  // namespace Ui

class TestPage : public QWidget,
                 public Ui::TestPageControls,
                 public pb::DidoView,
                 public pb::PollingView {
    Q_OBJECT
public:
    explicit TestPage(QWidget* parent = nullptr);

    // Each button's handler asks `run` for its test.
    void runsThrough(const pb::RunRequest& run);
    void btnSetDateClick();
    void btnAlarmClick();
    void btnDIDOClick();
    void btnPoolingClick();
    void btnInitialClick();
    void btnRebootClick();
    // A continuous test (DI/DO, else polling) runs or ended: its button cancels it
    // meanwhile, in `language`, and holds the page's other buttons.
    void holdFor(bool dido, bool running, pb::Language language);

    // Captions in the language; a running continuous test keeps its "Cancel test".
    void applyLanguage(pb::Language language, bool didoRunning, bool pollingRunning);

    // pb::DidoView
    void showAllInputsAndOutputs() override;
    void hideInputsAndOutputsMissingOnKind4() override;
    bool outputTicked(int k) const override;
    void untickAllOutputs() override;
    void setInputLamp(int k, pb::InputLamp colour) override;

    // pb::PollingView
    void setPollingDate(const QString& text) override { pnPoolingDate->setText(text); }
    void setPollingData(const QString& text) override { pnPoolingData->setText(text); }

private:
    pb::RunRequest run_;
};
