#include "app/LinkPage.h"

#include "app/Controls.h"
#include "app/SerialPortList.h"
#include "i18n/Messages.h"

namespace {

const QStringList kBaudRates = {
    "4800,n,8,1",   "4800,e,8,1",   "9600,n,8,1",   "9600,e,8,1",   "19200,n,8,1",  "19200,e,8,1",
    "38400,n,8,1",  "38400,e,8,1",  "57600,n,8,1",  "57600,e,8,1",  "115200,n,8,1", "115200,e,8,1",
    "230400,n,8,1", "230400,e,8,1", "460800,n,8,1", "460800,e,8,1", "921600,n,8,1", "921600,e,8,1"};

}  // namespace

LinkPage::LinkPage(QWidget* parent) : QTabWidget(parent) {
    using namespace Ui;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    tsCom = Page(this, "tsCom", "COM");
    lblPort = Label(tsCom, "lblPort", "Port:", {0, 9, 71, 28}, right);
    cmbPort = Make<pb::PortComboBox>(tsCom, "cmbPort", {80, 5, 225, 24});
    cmbPort->setPorts({{QStringLiteral("COM1"), {}}}, QStringLiteral("COM1"));
    lblSpeed = Label(tsCom, "lblSpeed", "Speed:", {0, 45, 71, 28}, right);
    cmbBaudrate = List(tsCom, "cmbBaudrate", kBaudRates, {80, 43, 225, 24});
    cmbBaudrate->setEditable(true);
    cmbBaudrate->setInsertPolicy(QComboBox::NoInsert);
    cmbBaudrate->setCurrentIndex(5);
    tsNet = Page(this, "tsNet", "NET");
    lblIP = Label(tsNet, "lblIP", "IP:", {0, 9, 73, 28}, right);
    edIP = Edit(tsNet, "edIP", "192.168.1.101", {80, 5, 225, 24});
    edIP->setMaxLength(15);
    lblNetPort = Label(tsNet, "lblNetPort", "Port:", {0, 45, 73, 28}, right);
    edPort = Edit(tsNet, "edPort", "5003", {80, 43, 81, 24});
    setCurrentWidget(tsCom);
}

void LinkPage::applyLanguage(pb::Language language) {
    using enum pb::MsgId;
    setTabText(indexOf(tsNet), pb::Msg(PageNet, language));
    setTabText(indexOf(tsCom), pb::Msg(PageCom, language));
    lblPort->setText(pb::Msg(Port, language));
    lblNetPort->setText(pb::Msg(Port, language));
    lblSpeed->setText(pb::Msg(Speed, language));
    cmbPort->setLanguage(pb::LanguageIndex(language));
}

void LinkPage::showStored(const pb::Settings& settings) {
    // The ports of this PC (COM1 .. COM16 when none).
    cmbPort->setPorts(pb::ListSerialPorts(), settings.link.portName);
    cmbPort->setAdapter(settings.comPortAdapter, settings.link.portName);
    cmbPort->followPorts();
    cmbBaudrate->setEditText(settings.link.speed);
    edIP->setText(settings.link.ip);
    edPort->setText(settings.link.tcpPort);
    setCurrentWidget(settings.link.kind == pb::LinkKind::Com ? tsCom : tsNet);
    shown_ = settings.link;
}

pb::LinkSettings LinkPage::shownLinkSettings() {
    if (currentWidget() == tsCom) {
        shown_.kind = pb::LinkKind::Com;
        shown_.portName = cmbPort->currentText();
        shown_.speed = cmbBaudrate->currentText();
    } else {
        shown_.kind = pb::LinkKind::Net;
        shown_.ip = edIP->text();
        shown_.tcpPort = edPort->text();
    }
    return shown_;
}

void LinkPage::saveLinkSettings(pb::Settings& settings) {
    const pb::LinkSettings active = shownLinkSettings();
    // The adapter behind the port name is kept beside it.
    if (active.kind == pb::LinkKind::Com) {
        settings.comPortAdapter = cmbPort->adapterOf(active.portName);
        cmbPort->setAdapter(settings.comPortAdapter, active.portName);
    }
    pb::SaveLinkSettings(settings, active);
}
