#pragma once
// The controls of the main window, each under its own name (also its Qt object name),
// with the initial captions, geometry and visibility of the window's design. The window
// makes its status line, ID and menus; the link selector and the test pages their own.

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "app/CommandPage.h"
#include "app/FirmwarePage.h"
#include "app/FitLabel.h"
#include "app/Lamp.h"
#include "app/LinkPage.h"
#include "app/TestPage.h"

namespace Ui {

class TfrmModule : public LinkPageControls,
                   public TestPageControls,
                   public FirmwarePageControls,
                   public CommandPageControls {
public:
    // Client area of the window, below the menu.
    static constexpr int kClientWidth = 680;
    static constexpr int kClientHeight = 614;

    void setupUi(QMainWindow* window);

    QWidget* centralWidget = nullptr;

    // Status line with the busy lamp, identification panels.
    pb::FitLabel* pnMsg = nullptr;
    pb::Lamp* shComm = nullptr;
    QLabel* pnVER = nullptr;
    QLabel* pnSN = nullptr;

    // Link selector; its pages' controls are listed here too through its controls' base.
    LinkPage* pcPort = nullptr;

    // Device ID and connect.
    QLabel* lblID = nullptr;
    QLabel* pnID = nullptr;
    QScrollBar* sbID = nullptr;
    QPushButton* btnConnect = nullptr;

    // Test pages; each page makes its own controls, listed here too through its
    // controls' base.
    QTabWidget* pcMain = nullptr;
    TestPage* tsTest = nullptr;
    QWidget* tsFunction = nullptr;
    FirmwarePage* tsFirmware = nullptr;
    CommandPage* tsCommand = nullptr;

    // Main menu; a submenu's action carries the submenu's name and caption.
    QMenuBar* mnuMain = nullptr;
    QAction* mnuFile = nullptr;
    QMenu* mnuFileMenu = nullptr;
    QAction* mnuFirmwareFile = nullptr;
    QAction* mnuLine1 = nullptr;
    QAction* mnuOperator = nullptr;
    QAction* mnuSharedRecords = nullptr;
    QAction* mnuStation = nullptr;
    QAction* mnuLine2 = nullptr;
    QAction* mnuExit = nullptr;
    // The unit records and the traffic monitor, beside the window's own menus.
    QAction* mnuView = nullptr;
    QMenu* mnuViewMenu = nullptr;
    QAction* mnuRecords = nullptr;
    QAction* mnuTrafficMonitor = nullptr;
    QAction* mnuLineOverview = nullptr;  // with shared records set
    QAction* mnuLanguage = nullptr;
    QMenu* mnuLanguageMenu = nullptr;
    QAction* mnuEnglish = nullptr;
    QAction* mnuSimplified = nullptr;
    QAction* mnuTraditional = nullptr;
    QAction* mnuAbout = nullptr;

    QTimer* tmrBusy = nullptr;
    QTimer* tmrClock = nullptr;
};

}  // namespace Ui
