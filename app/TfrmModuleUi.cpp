#include "app/TfrmModuleUi.h"

#include <QLayout>

#include "app/Controls.h"
#include "app/FitLabel.h"
#include "app/WindowColours.h"

namespace Ui {
namespace {

const QStringList kBaudRates = {
    "4800,n,8,1",   "4800,e,8,1",   "9600,n,8,1",   "9600,e,8,1",   "19200,n,8,1",  "19200,e,8,1",
    "38400,n,8,1",  "38400,e,8,1",  "57600,n,8,1",  "57600,e,8,1",  "115200,n,8,1", "115200,e,8,1",
    "230400,n,8,1", "230400,e,8,1", "460800,n,8,1", "460800,e,8,1", "921600,n,8,1", "921600,e,8,1"};

}  // namespace

void TfrmModule::setupUi(QMainWindow* window) {
    using pb::Lamp;
    namespace colour = pb::colour;

    window->setObjectName(QStringLiteral("frmModule"));
    window->setWindowTitle(QStringLiteral("KV410 Tools"));
    // Fixed border, system menu and minimise box only.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(13);
    window->setFont(windowFont);
    QPalette face = window->palette();
    face.setColor(QPalette::Window, colour::BtnFace());
    window->setPalette(face);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    centralWidget->setFixedSize(kClientWidth, kClientHeight);
    window->setCentralWidget(centralWidget);
    QWidget* w = centralWidget;

    // Status line and lamp.
    // An ending and its reason are drawn smaller rather than cut, clear of the lamp.
    pnMsg = Panel<pb::FitLabel>(w, "pnMsg", "Start Scan Controller", {8, 4, 665, 40});
    pnMsg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnMsg->setLineWidth(2);
    Paint(pnMsg, colour::ActiveCaption(), Qt::yellow);
    OwnFont(pnMsg, 19, QFont::Bold);
    shComm = Make<Lamp>(pnMsg, "shComm", {626, 8, 23, 20}, QColor(Qt::red));
    pnMsg->setEndRoom(pnMsg->width() - shComm->x());

    // A long version or serial number text is drawn smaller, never cut.
    pnVER = Panel<pb::FitLabel>(w, "pnVER", {}, {8, 48, 329, 49});
    pnSN = Panel<pb::FitLabel>(w, "pnSN", {}, {344, 48, 329, 49});
    for (QLabel* panel : {pnVER, pnSN}) {
        Paint(panel, colour::Highlight(), Qt::yellow);
        OwnFont(panel, 35, QFont::Bold, QStringLiteral("Arial Narrow"));
    }

    // Link selector: serial and TCP pages.
    pcPort = Make<QTabWidget>(w, "pcPort", {8, 104, 329, 105});
    tsCom = Page(pcPort, "tsCom", "COM");
    lblPort = Label(tsCom, "lblPort", "Port:", {0, 9, 71, 28}, Qt::AlignRight | Qt::AlignVCenter);
    cmbPort = Make<pb::PortComboBox>(tsCom, "cmbPort", {80, 5, 225, 24});
    cmbPort->setPorts({{QStringLiteral("COM1"), {}}}, QStringLiteral("COM1"));
    lblSpeed =
        Label(tsCom, "lblSpeed", "Speed:", {0, 45, 71, 28}, Qt::AlignRight | Qt::AlignVCenter);
    cmbBaudrate = List(tsCom, "cmbBaudrate", kBaudRates, {80, 43, 225, 24});
    cmbBaudrate->setEditable(true);
    cmbBaudrate->setInsertPolicy(QComboBox::NoInsert);
    cmbBaudrate->setCurrentIndex(5);
    tsNet = Page(pcPort, "tsNet", "NET");
    lblIP = Label(tsNet, "lblIP", "IP:", {0, 9, 73, 28}, Qt::AlignRight | Qt::AlignVCenter);
    edIP = Edit(tsNet, "edIP", "192.168.1.101", {80, 5, 225, 24});
    edIP->setMaxLength(15);
    lblNetPort =
        Label(tsNet, "lblNetPort", "Port:", {0, 45, 73, 28}, Qt::AlignRight | Qt::AlignVCenter);
    edPort = Edit(tsNet, "edPort", "5003", {80, 43, 81, 24});
    pcPort->setCurrentWidget(tsCom);

    // Device ID and connect.
    lblID = Label(w, "lblID", "ID:", {344, 99, 65, 25}, Qt::AlignRight | Qt::AlignVCenter);
    pnID = Panel(w, "pnID", "0000", {416, 100, 47, 25});
    Paint(pnID, colour::SkyBlue(), Qt::black);
    sbID = Make<QScrollBar>(w, "sbID", {464, 101, 209, 23}, Qt::Horizontal);
    sbID->setRange(0, 9999);
    sbID->setPageStep(10);
    btnConnect = Button(w, "btnConnect", "Connect device", {344, 128, 327, 81});
    btnConnect->setDefault(true);

    // Test pages; Function and Firmware have hidden tabs.
    pcMain = Make<QTabWidget>(w, "pcMain", {8, 213, 668, 404});
    tsTest = Page<TestPage>(pcMain, "tsTest", "Test");
    tsFunction = Page(pcMain, "tsFunction", "Function");
    tsFirmware = Page<FirmwarePage>(pcMain, "tsFirmware", "Firmware");
    tsCommand = Page<CommandPage>(pcMain, "tsCommand", "Command");
    pcMain->setTabVisible(pcMain->indexOf(tsFunction), false);
    pcMain->setTabVisible(pcMain->indexOf(tsFirmware), false);
    pcMain->setCurrentWidget(tsTest);
    static_cast<TestPageControls&>(*this) = *tsTest;
    static_cast<FirmwarePageControls&>(*this) = *tsFirmware;
    static_cast<CommandPageControls&>(*this) = *tsCommand;

    // Main menu.
    mnuMain = new QMenuBar(window);
    mnuMain->setObjectName(QStringLiteral("mnuMain"));
    window->setMenuBar(mnuMain);
    mnuFileMenu = new QMenu(QStringLiteral("File"), mnuMain);
    mnuFileMenu->setObjectName(QStringLiteral("mnuFileMenu"));
    mnuFile = mnuFileMenu->menuAction();
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFirmwareFile = Item(mnuFileMenu, "mnuFirmwareFile", "&Firmware file");
    mnuLine1 = Item(mnuFileMenu, "mnuLine1", {});
    mnuLine1->setSeparator(true);
    mnuOperator = Item(mnuFileMenu, "mnuOperator", "&Operator...");
    mnuSharedRecords = Item(mnuFileMenu, "mnuSharedRecords", "S&hared records...");
    mnuStation = Item(mnuFileMenu, "mnuStation", "&Station mode...");
    mnuLine2 = Item(mnuFileMenu, "mnuLine2", {});
    mnuLine2->setSeparator(true);
    mnuExit = Item(mnuFileMenu, "mnuExit", "Exit");
    mnuFileMenu->addActions({mnuFirmwareFile, mnuLine1, mnuOperator, mnuSharedRecords, mnuStation, mnuLine2, mnuExit});
    mnuFirmwareFile->setVisible(false);
    mnuLine1->setVisible(false);
    mnuLanguageMenu = new QMenu(QStringLiteral("Language"), mnuMain);
    mnuLanguageMenu->setObjectName(QStringLiteral("mnuLanguageMenu"));
    mnuLanguage = mnuLanguageMenu->menuAction();
    mnuLanguage->setObjectName(QStringLiteral("mnuLanguage"));
    mnuEnglish = Item(mnuLanguageMenu, "mnuEnglish", "English");
    mnuSimplified = Item(mnuLanguageMenu, "mnuSimplified", "Simplified Chinese");
    mnuTraditional = Item(mnuLanguageMenu, "mnuTraditional", "Traditional Chinese");
    for (QAction* item : {mnuEnglish, mnuSimplified, mnuTraditional}) item->setCheckable(true);
    mnuLanguageMenu->addActions({mnuEnglish, mnuSimplified, mnuTraditional});
    mnuViewMenu = new QMenu(QStringLiteral("View"), mnuMain);
    mnuViewMenu->setObjectName(QStringLiteral("mnuViewMenu"));
    mnuViewMenu->setToolTipsVisible(true);  // a greyed entry says why
    mnuView = mnuViewMenu->menuAction();
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuRecords = Item(mnuViewMenu, "mnuRecords", "Unit &records...");
    mnuTrafficMonitor = Item(mnuViewMenu, "mnuTrafficMonitor", "&Traffic monitor");
    mnuLineOverview = Item(mnuViewMenu, "mnuLineOverview", "&Line overview");
    mnuViewMenu->addActions({mnuRecords, mnuTrafficMonitor, mnuLineOverview});
    mnuAbout = Item(mnuMain, "mnuAbout", "&About");
    mnuMain->addMenu(mnuFileMenu);
    mnuMain->addMenu(mnuViewMenu);
    mnuMain->addMenu(mnuLanguageMenu);
    mnuMain->addAction(mnuAbout);
    // The drop-down menus are windows of their own: let them follow the window's font.
    for (QMenu* menu : {mnuFileMenu, mnuViewMenu, mnuLanguageMenu}) menu->setAttribute(Qt::WA_WindowPropagation);

    tmrBusy = new QTimer(window);
    tmrBusy->setObjectName(QStringLiteral("tmrBusy"));
    tmrBusy->setInterval(200);
    tmrClock = new QTimer(window);
    tmrClock->setObjectName(QStringLiteral("tmrClock"));
    tmrClock->setInterval(500);

    // The window's size follows its client area and the menu's height; no resizing.
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace Ui
