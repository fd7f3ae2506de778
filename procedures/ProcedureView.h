#pragma once
// The part of the window the controller tests read and write, beyond the test-run
// bracket. The window implements it; tests use a recording implementation.

#include <QString>

#include "link/TestRun.h"

namespace pb {

// The colour of an input lamp shDI1..shDI8.
enum class InputLamp { White, Yellow };

class ProcedureView : public TestRunView {
public:
    // --- connect and identify ---
    // The caption of pnID: the four-digit ID the identify queries are sent to.
    virtual QString idCaption() const = 0;
    // Moves sbID; the window's sbIDChange then shows the position in pnID.
    virtual void setIdPosition(int position) = 0;
    virtual void setVersionText(const QString& text) = 0;       // pnVER
    virtual void setSerialNumberText(const QString& text) = 0;  // pnSN
    // Shows every DI/DO control: shDI5..8, lblDI5..8, chkDO3, chkDO4.
    virtual void showAllInputsAndOutputs() = 0;
    // Hides what the three-digit-ID controller lacks: shDI5, shDI6, lblDI5, lblDI6, chkDO4.
    virtual void hideInputsAndOutputsMissingOnKind4() = 0;
    // Stores the link settings of the active pcPort page.
    virtual void saveLinkSettings() = 0;
    // Enables pcMain, the test pages.
    virtual void enableTestPages() = 0;

    // --- DI/DO test ---
    // The whole window, without touching the busy lamp.
    virtual void setWindowEnabled(bool on) = 0;
    // chkDO1..chkDO4 (k = 1..4), read each cycle.
    virtual bool outputTicked(int k) const = 0;
    virtual void untickAllOutputs() = 0;
    // shDI1..shDI8 (k = 1..8).
    virtual void setInputLamp(int k, InputLamp colour) = 0;
    virtual void setDidoButtonCaption(const QString& text) = 0;
    // btnConnect, btnReboot, btnInitial, btnSetDate, btnAlarm and btnPooling.
    virtual void setOtherTestButtonsEnabled(bool on) = 0;
    // Hides the tabs of tsFunction, tsCommand and tsFirmware (and the firmware file menu).
    virtual void hideOtherTestTabs() = 0;
    virtual void showCommandTab() = 0;

    // --- polling data test ---
    virtual void setPollingButtonCaption(const QString& text) = 0;  // btnPooling
    // btnConnect, btnReboot, btnInitial, btnSetDate, btnAlarm and btnDIDO.
    virtual void setTestButtonsBesidePollingEnabled(bool on) = 0;
    virtual void setPollingDate(const QString& text) = 0;  // pnPoolingDate
    virtual void setPollingData(const QString& text) = 0;  // pnPoolingData
    // Shows the tabs of tsCommand and tsFirmware, and the firmware file menu with them.
    virtual void showCommandAndFirmwareTabs() = 0;

    // --- command consoles ---
    virtual void setControllerReplyText(const QString& text) = 0;  // edCommandRecv
    virtual void setModuleReplyText(const QString& text) = 0;      // edModuleCommandRecv
};

}  // namespace pb
