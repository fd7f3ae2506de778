#include "app/TfrmModuleUi.h"

#include <QLayout>

#include "app/WindowColours.h"

namespace Ui {
namespace {

// Controls sit at absolute positions, as designed.
template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

void Paint(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A font of the control's own: size and weight fixed, the family follows the window's
// language font unless named.
void OwnFont(QWidget* widget, int pixelHeight, QFont::Weight weight, const QString& family = {}) {
    QFont font;
    if (!family.isEmpty()) font.setFamilies({family});
    font.setPixelSize(pixelHeight);
    font.setWeight(weight);
    // Only what is set here is the control's own; the rest comes from the window.
    font.setResolveMask(QFont::SizeResolved | QFont::WeightResolved |
                        (family.isEmpty() ? 0 : QFont::FamiliesResolved));
    widget->setFont(font);
}

QLabel* Panel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* panel = Make<QLabel>(parent, name, geometry, caption);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect geometry,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = Make<QLabel>(parent, name, geometry, caption);
    label->setAlignment(alignment);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = Make<QPushButton>(parent, name, geometry, caption);
    OwnFont(button, 19, QFont::Bold);
    return button;
}

QComboBox* List(QWidget* parent, const char* name, const QStringList& items, QRect geometry) {
    auto* list = Make<QComboBox>(parent, name, geometry);
    list->addItems(items);
    list->setCurrentIndex(0);
    return list;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    return Make<QLineEdit>(parent, name, geometry, text);
}

QWidget* Page(QTabWidget* pages, const char* name, const QString& caption) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    pages->addTab(page, caption);
    return page;
}

QAction* Item(QObject* parent, const char* name, const QString& caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

const QStringList kBaudRates = {
    "4800,n,8,1",   "4800,e,8,1",   "9600,n,8,1",   "9600,e,8,1",   "19200,n,8,1",  "19200,e,8,1",
    "38400,n,8,1",  "38400,e,8,1",  "57600,n,8,1",  "57600,e,8,1",  "115200,n,8,1", "115200,e,8,1",
    "230400,n,8,1", "230400,e,8,1", "460800,n,8,1", "460800,e,8,1", "921600,n,8,1", "921600,e,8,1"};
const QStringList kAlarms = {"Alarm Off", "Steal Alarm",  "Help Alarm",  "Fire Alarm",
                             "Gas Alarm", "Forced Alarm", "Duress Alarm"};
const QStringList kModuleTypes = {"KVPA1/A2/B2", "KMIO-2T/16", "KVPK2",
                                  "KVPF2/F3",    "KVPT2",      "KMPRN"};
const QStringList kModuleIds = {"1", "2", "3", "4", "5", "6", "7", "8"};

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
    pnMsg = Panel(w, "pnMsg", "Start Scan Controller", {8, 4, 665, 40});
    pnMsg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnMsg->setLineWidth(2);
    Paint(pnMsg, colour::ActiveCaption(), Qt::yellow);
    OwnFont(pnMsg, 19, QFont::Bold);
    shComm = Make<Lamp>(pnMsg, "shComm", {626, 8, 23, 20}, QColor(Qt::red));

    pnVER = Panel(w, "pnVER", {}, {8, 48, 329, 49});
    pnSN = Panel(w, "pnSN", {}, {344, 48, 329, 49});
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
    tsTest = Page(pcMain, "tsTest", "Test");
    tsFunction = Page(pcMain, "tsFunction", "Function");
    tsFirmware = Page(pcMain, "tsFirmware", "Firmware");
    tsCommand = Page(pcMain, "tsCommand", "Command");
    pcMain->setTabVisible(pcMain->indexOf(tsFunction), false);
    pcMain->setTabVisible(pcMain->indexOf(tsFirmware), false);
    pcMain->setCurrentWidget(tsTest);

    // Page tsTest.
    QWidget* t = tsTest;
    pnSetDate = Panel(t, "pnSetDate", "2001/01/01 12:00:00", {0, 10, 321, 47});
    Paint(pnSetDate, colour::GrayText(), Qt::white);
    OwnFont(pnSetDate, 24, QFont::Bold);
    btnSetDate = Button(t, "btnSetDate", "Set date time", {328, 6, 329, 51});
    cmbAlarm = List(t, "cmbAlarm", kAlarms, {0, 66, 321, 37});
    Paint(cmbAlarm, colour::Highlight(), Qt::yellow);
    OwnFont(cmbAlarm, 19, QFont::Bold);
    btnAlarm = Button(t, "btnAlarm", "Alarm test", {328, 62, 329, 51});
    const int lampLefts[4] = {2, 82, 162, 242};
    const int labelLefts[4] = {32, 112, 192, 272};
    for (int i = 0; i < 8; ++i) {
        const int column = i % 4;
        const bool secondRow = i >= 4;
        const QByteArray lampName = "shDI" + QByteArray::number(i + 1);
        const QByteArray labelName = "lblDI" + QByteArray::number(i + 1);
        shDI[i] = Make<Lamp>(t, lampName.constData(),
                             {lampLefts[column], secondRow ? 158 : 118, 23, 25}, QColor(Qt::white));
        lblDI[i] = Label(t, labelName.constData(), QStringLiteral("DI%1").arg(i + 1),
                         {labelLefts[column], secondRow ? 156 : 116, 41, 29});
        OwnFont(lblDI[i], 19, QFont::Black, QStringLiteral("Arial Black"));
    }
    std::tie(shDI1, shDI2, shDI3, shDI4, shDI5, shDI6, shDI7, shDI8) =
        std::tie(shDI[0], shDI[1], shDI[2], shDI[3], shDI[4], shDI[5], shDI[6], shDI[7]);
    std::tie(lblDI1, lblDI2, lblDI3, lblDI4, lblDI5, lblDI6, lblDI7, lblDI8) =
        std::tie(lblDI[0], lblDI[1], lblDI[2], lblDI[3], lblDI[4], lblDI[5], lblDI[6], lblDI[7]);
    const int checkLefts[4] = {2, 82, 162, 240};
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = "chkDO" + QByteArray::number(i + 1);
        chkDO[i] = Make<QCheckBox>(t, name.constData(), {checkLefts[i], 184, 73, 40},
                                   QStringLiteral("DO%1").arg(i + 1));
    }
    std::tie(chkDO1, chkDO2, chkDO3, chkDO4) = std::tie(chkDO[0], chkDO[1], chkDO[2], chkDO[3]);
    btnDIDO = Button(t, "btnDIDO", "DIDO test", {328, 120, 329, 97});
    pnPoolingDate = Panel(t, "pnPoolingDate", "2001/01/01 12:00:00", {0, 226, 321, 31});
    pnPoolingData = Panel(t, "pnPoolingData", {}, {0, 258, 321, 31});
    btnPooling = Button(t, "btnPooling", "Pooling data test", {328, 224, 329, 65});
    btnInitial = Button(t, "btnInitial", "System initial", {0, 296, 313, 65});
    btnReboot = Button(t, "btnReboot", "System reboot", {328, 296, 329, 65});

    // Page tsFirmware.
    QWidget* f = tsFirmware;
    pnFirmwareNote = Panel(f, "pnFirmwareNote", "Note !", {8, 8, 641, 41});
    Paint(pnFirmwareNote, Qt::red, Qt::yellow);
    moFirmwareNote = Make<QPlainTextEdit>(f, "moFirmwareNote", {9, 48, 641, 105});
    moFirmwareNote->setReadOnly(true);
    moFirmwareNote->setPlainText(
        "Upgrading the firmware of the Product will lost some data on the \n"
        "Product. To ensure data security, it is recommended that you back \n"
        "up your data before update.");
    Paint(moFirmwareNote, Qt::red, Qt::white);
    OwnFont(moFirmwareNote, 16, QFont::Bold);
    Panel3 = Panel(f, "Panel3", "Firmware file", {8, 168, 113, 33});
    pnFile = Panel(f, "pnFile", {}, {120, 168, 529, 33});
    Panel1 = Panel(f, "Panel1", "Program", {7, 208, 114, 33});
    pbProgram = Make<QProgressBar>(f, "pbProgram", {120, 208, 529, 33});
    Panel2 = Panel(f, "Panel2", "Verify", {7, 248, 114, 33});
    pbVerify = Make<QProgressBar>(f, "pbVerify", {120, 248, 529, 33});
    for (QProgressBar* bar : {pbProgram, pbVerify}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    for (QLabel* panel : {Panel3, pnFile, Panel1, Panel2})
        panel->setToolTip(QStringLiteral("Fimeware filename"));
    btnFirmware = Button(f, "btnFirmware", "Firmware load", {8, 288, 641, 73});

    // Page tsCommand: the controller console above the module console.
    gbController = Make<QGroupBox>(tsCommand, "gbController", {0, 0, 657, 177},
                                   QStringLiteral("Controller command test"));
    QWidget* c = gbController;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    lblCommandSend = Label(c, "lblCommandSend", "Send Command :", {8, 30, 150, 26}, right);
    edCommandSend = Edit(c, "edCommandSend", "AB", {166, 30, 481, 26});
    lblCommandRecv = Label(c, "lblCommandRecv", "Receive Data :", {8, 64, 150, 26}, right);
    edCommandRecv = Edit(c, "edCommandRecv", {}, {166, 64, 481, 26});
    edCommandRecv->setReadOnly(true);
    Paint(edCommandRecv, colour::SkyBlue(), Qt::black);
    btnCommand = Button(c, "btnCommand", "Test command", {166, 100, 481, 65});

    gbModule = Make<QGroupBox>(tsCommand, "gbModule", {0, 184, 657, 177},
                               QStringLiteral("Module command test"));
    QWidget* m = gbModule;
    lblModuleType = Label(m, "lblModuleType", "Type:", {8, 26, 150, 26}, right);
    cmbModuleType = List(m, "cmbModuleType", kModuleTypes, {166, 26, 200, 26});
    lblModuleId = Label(m, "lblModuleId", "ID:", {376, 26, 60, 26}, right);
    cmbModuleId = List(m, "cmbModuleId", kModuleIds, {444, 26, 80, 26});
    lblModuleCommandSend =
        Label(m, "lblModuleCommandSend", "Send Command :", {8, 60, 150, 26}, right);
    edModuleCommandSend = Edit(m, "edModuleCommandSend", "B", {166, 60, 481, 26});
    lblModuleCommandRecv =
        Label(m, "lblModuleCommandRecv", "Receive Data :", {8, 94, 150, 26}, right);
    edModuleCommandRecv = Edit(m, "edModuleCommandRecv", {}, {166, 94, 481, 26});
    edModuleCommandRecv->setReadOnly(true);
    Paint(edModuleCommandRecv, colour::SkyBlue(), Qt::black);
    btnModuleCommand = Button(m, "btnModuleCommand", "Test command", {166, 128, 481, 41});

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
    mnuExit = Item(mnuFileMenu, "mnuExit", "Exit");
    mnuFileMenu->addActions({mnuFirmwareFile, mnuLine1, mnuExit});
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
    mnuAbout = Item(mnuMain, "mnuAbout", "&About");
    mnuMain->addMenu(mnuFileMenu);
    mnuMain->addMenu(mnuLanguageMenu);
    mnuMain->addAction(mnuAbout);
    // The drop-down menus are windows of their own: let them follow the window's font.
    for (QMenu* menu : {mnuFileMenu, mnuLanguageMenu}) menu->setAttribute(Qt::WA_WindowPropagation);

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
