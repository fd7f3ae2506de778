#include "app/TestPage.h"

#include <tuple>

#include "app/Controls.h"
#include "app/WindowColours.h"
#include "i18n/Messages.h"

namespace {

const QStringList kAlarms = {"Alarm Off", "Steal Alarm",  "Help Alarm",  "Fire Alarm",
                             "Gas Alarm", "Forced Alarm", "Duress Alarm"};

}  // namespace

TestPage::TestPage(QWidget* parent) : QWidget(parent) {
    using namespace Ui;
    using pb::Lamp;
    namespace colour = pb::colour;
    setObjectName(QStringLiteral("tsTest"));

    QWidget* t = this;
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
}

void TestPage::applyLanguage(pb::Language language, bool didoRunning, bool pollingRunning) {
    using enum pb::MsgId;
    const auto msg = [language](pb::MsgId id) { return pb::Msg(id, language); };
    // A running test keeps its cancel caption.
    btnDIDO->setText(msg(didoRunning ? CancelTest : DidoTest));
    btnPooling->setText(msg(pollingRunning ? CancelTest : PoolingDataTest));
    btnInitial->setText(msg(SetFactory));
    btnReboot->setText(msg(SetReboot));
    btnSetDate->setText(msg(SetDateAndTime));
    btnAlarm->setText(msg(AlarmTest));
}

void TestPage::showAllInputsAndOutputs() {
    for (int i = 4; i < 8; ++i) {
        shDI[i]->setVisible(true);
        lblDI[i]->setVisible(true);
    }
    chkDO3->setVisible(true);
    chkDO4->setVisible(true);
}

void TestPage::hideInputsAndOutputsMissingOnKind4() {
    for (QWidget* w :
         {static_cast<QWidget*>(shDI5), static_cast<QWidget*>(shDI6), static_cast<QWidget*>(lblDI5),
          static_cast<QWidget*>(lblDI6), static_cast<QWidget*>(chkDO4)})
        w->setVisible(false);
}

bool TestPage::outputTicked(int k) const {
    return chkDO[size_t(k - 1)]->isChecked();
}

void TestPage::untickAllOutputs() {
    for (QCheckBox* box : chkDO) box->setChecked(false);
}

void TestPage::setInputLamp(int k, pb::InputLamp colour) {
    shDI[size_t(k - 1)]->setBrushColor(
        colour == pb::InputLamp::Yellow ? pb::ColourFromBgr(pb::kBgrYellow) : QColor(Qt::white));
}

void TestPage::runsThrough(const pb::RunRequest& run) {
    run_ = run;
    connect(btnSetDate, &QPushButton::clicked, this, &TestPage::btnSetDateClick);
    connect(btnAlarm, &QPushButton::clicked, this, &TestPage::btnAlarmClick);
    connect(btnDIDO, &QPushButton::clicked, this, &TestPage::btnDIDOClick);
    connect(btnPooling, &QPushButton::clicked, this, &TestPage::btnPoolingClick);
    connect(btnInitial, &QPushButton::clicked, this, &TestPage::btnInitialClick);
    connect(btnReboot, &QPushButton::clicked, this, &TestPage::btnRebootClick);
}

void TestPage::btnSetDateClick() { run_({pb::TestId::SetDate, {}}); }

void TestPage::btnAlarmClick() {
    pb::TestParams p;
    p.alarm.level = cmbAlarm->currentIndex();
    run_({pb::TestId::Alarm, p});
}

void TestPage::btnDIDOClick() {
    pb::TestParams p;
    p.dido.needsAnsweredRead = false;  // the technician reads the lamps
    run_({pb::TestId::Dido, p});
}

void TestPage::btnPoolingClick() { run_({pb::TestId::Polling, {}}); }

void TestPage::btnInitialClick() { run_({pb::TestId::FactoryInitial, {}}); }

void TestPage::btnRebootClick() { run_({pb::TestId::Reboot, {}}); }

void TestPage::holdFor(bool dido, bool running, pb::Language language) {
    using enum pb::MsgId;
    (dido ? btnDIDO : btnPooling)->setText(pb::Msg(running ? CancelTest : dido ? DidoTest : PoolingDataTest, language));
    for (QPushButton* b : {btnReboot, btnInitial, btnSetDate, btnAlarm, dido ? btnPooling : btnDIDO}) b->setEnabled(!running);
}
