#pragma once
// The controls of the main window, each under its own name (also its Qt object name),
// with the initial captions, geometry and visibility of the window's design.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <array>

#include "app/Lamp.h"
#include "app/PortComboBox.h"

namespace Ui {

class TfrmModule {
public:
    // Client area of the window, below the menu.
    static constexpr int kClientWidth = 680;
    static constexpr int kClientHeight = 614;
    static constexpr const char* kFirmwareFilter = "Firmware files (*.KVF)";

    void setupUi(QMainWindow* window);

    QWidget* centralWidget = nullptr;

    // Status line with the busy lamp, identification panels.
    QLabel* pnMsg = nullptr;
    pb::Lamp* shComm = nullptr;
    QLabel* pnVER = nullptr;
    QLabel* pnSN = nullptr;

    // Link selector.
    QTabWidget* pcPort = nullptr;
    QWidget* tsCom = nullptr;
    QLabel* lblPort = nullptr;
    pb::PortComboBox* cmbPort = nullptr;
    QLabel* lblSpeed = nullptr;
    QComboBox* cmbBaudrate = nullptr;
    QWidget* tsNet = nullptr;
    QLabel* lblIP = nullptr;
    QLineEdit* edIP = nullptr;
    QLabel* lblNetPort = nullptr;
    QLineEdit* edPort = nullptr;

    // Device ID and connect.
    QLabel* lblID = nullptr;
    QLabel* pnID = nullptr;
    QScrollBar* sbID = nullptr;
    QPushButton* btnConnect = nullptr;

    // Test pages.
    QTabWidget* pcMain = nullptr;
    QWidget* tsTest = nullptr;
    QWidget* tsFunction = nullptr;
    QWidget* tsFirmware = nullptr;
    QWidget* tsCommand = nullptr;

    // Page tsTest.
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

    // Page tsFirmware.
    QLabel* pnFirmwareNote = nullptr;
    QPlainTextEdit* moFirmwareNote = nullptr;
    QLabel* Panel3 = nullptr;
    QLabel* pnFile = nullptr;
    QLabel* Panel1 = nullptr;
    QProgressBar* pbProgram = nullptr;
    QLabel* Panel2 = nullptr;
    QProgressBar* pbVerify = nullptr;
    QPushButton* btnFirmware = nullptr;

    // Page tsCommand.
    QGroupBox* gbController = nullptr;
    QLabel* lblCommandSend = nullptr;
    QLineEdit* edCommandSend = nullptr;
    QLabel* lblCommandRecv = nullptr;
    QLineEdit* edCommandRecv = nullptr;
    QPushButton* btnCommand = nullptr;
    QGroupBox* gbModule = nullptr;
    QLabel* lblModuleType = nullptr;
    QComboBox* cmbModuleType = nullptr;
    QLabel* lblModuleId = nullptr;
    QComboBox* cmbModuleId = nullptr;
    QLabel* lblModuleCommandSend = nullptr;
    QLineEdit* edModuleCommandSend = nullptr;
    QLabel* lblModuleCommandRecv = nullptr;
    QLineEdit* edModuleCommandRecv = nullptr;
    QPushButton* btnModuleCommand = nullptr;

    // Main menu; a submenu's action carries the submenu's name and caption.
    QMenuBar* mnuMain = nullptr;
    QAction* mnuFile = nullptr;
    QMenu* mnuFileMenu = nullptr;
    QAction* mnuFirmwareFile = nullptr;
    QAction* mnuLine1 = nullptr;
    QAction* mnuExit = nullptr;
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
