#include "app/TfrmModuleUi.h"

#include <QLayout>

#include "app/Controls.h"
#include "app/FitLabel.h"
#include "app/WindowColours.h"

namespace Ui {

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
    pcPort = Make<LinkPage>(w, "pcPort", {8, 104, 329, 105});
    static_cast<LinkPageControls&>(*this) = *pcPort;

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
    mnuFileMenu = DropDown(mnuMain, "mnuFileMenu", "mnuFile", QStringLiteral("File"));
    mnuFile = mnuFileMenu->menuAction();
    mnuFirmwareFile = Item(mnuFileMenu, "mnuFirmwareFile", "&Firmware file");
    mnuLine1 = Separator(mnuFileMenu, "mnuLine1");
    mnuOperator = Item(mnuFileMenu, "mnuOperator", "&Operator...");
    mnuSharedRecords = Item(mnuFileMenu, "mnuSharedRecords", "S&hared records...");
    mnuStation = Item(mnuFileMenu, "mnuStation", "&Station mode...");
    mnuLine2 = Separator(mnuFileMenu, "mnuLine2");
    mnuExit = Item(mnuFileMenu, "mnuExit", "Exit");
    mnuFileMenu->addActions({mnuFirmwareFile, mnuLine1, mnuOperator, mnuSharedRecords, mnuStation, mnuLine2, mnuExit});
    mnuFirmwareFile->setVisible(false);
    mnuLine1->setVisible(false);
    mnuLanguageMenu = DropDown(mnuMain, "mnuLanguageMenu", "mnuLanguage", QStringLiteral("Language"));
    mnuLanguage = mnuLanguageMenu->menuAction();
    mnuEnglish = Item(mnuLanguageMenu, "mnuEnglish", "English");
    mnuSimplified = Item(mnuLanguageMenu, "mnuSimplified", "Simplified Chinese");
    mnuTraditional = Item(mnuLanguageMenu, "mnuTraditional", "Traditional Chinese");
    for (QAction* item : {mnuEnglish, mnuSimplified, mnuTraditional}) item->setCheckable(true);
    mnuLanguageMenu->addActions({mnuEnglish, mnuSimplified, mnuTraditional});
    mnuViewMenu = DropDown(mnuMain, "mnuViewMenu", "mnuView", QStringLiteral("View"));
    mnuViewMenu->setToolTipsVisible(true);  // a greyed entry says why
    mnuView = mnuViewMenu->menuAction();
    mnuRecords = Item(mnuViewMenu, "mnuRecords", "Unit &records...");
    mnuTrafficMonitor = Item(mnuViewMenu, "mnuTrafficMonitor", "&Traffic monitor");
    mnuLineOverview = Item(mnuViewMenu, "mnuLineOverview", "&Line overview");
    mnuViewMenu->addActions({mnuRecords, mnuTrafficMonitor, mnuLineOverview});
    mnuAbout = Item(mnuMain, "mnuAbout", "&About");
    mnuMain->addMenu(mnuFileMenu);
    mnuMain->addMenu(mnuViewMenu);
    mnuMain->addMenu(mnuLanguageMenu);
    mnuMain->addAction(mnuAbout);

    tmrBusy = Timer(window, "tmrBusy", 200);
    tmrClock = Timer(window, "tmrClock", 500);

    // The window's size follows its client area and the menu's height; no resizing.
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace Ui
