#include "app/CommandPage.h"

#include "app/Controls.h"
#include "app/WindowColours.h"
#include "i18n/Messages.h"

namespace {

const QStringList kModuleTypes = {"KVPA1/A2/B2", "KMIO-2T/16", "KVPK2",
                                  "KVPF2/F3",    "KVPT2",      "KMPRN"};
const QStringList kModuleIds = {"1", "2", "3", "4", "5", "6", "7", "8"};

}  // namespace

CommandPage::CommandPage(QWidget* parent) : QWidget(parent) {
    using namespace Ui;
    namespace colour = pb::colour;
    setObjectName(QStringLiteral("tsCommand"));

    gbController = Make<QGroupBox>(this, "gbController", {0, 0, 657, 177},
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

    gbModule = Make<QGroupBox>(this, "gbModule", {0, 184, 657, 177},
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

    controllerHistory_ = sendsOnEnter(edCommandSend, btnCommand);
    moduleHistory_ = sendsOnEnter(edModuleCommandSend, btnModuleCommand);
}

pb::CommandHistory* CommandPage::sendsOnEnter(QLineEdit* edit, QPushButton* button) {
    auto* history = new pb::CommandHistory(edit);
    // Made before the window wires its handlers: the command is remembered before it runs.
    connect(button, &QPushButton::clicked, history, [edit, history] { history->remember(edit->text()); });
    connect(edit, &QLineEdit::returnPressed, button, [edit, button] {
        if (!button->isEnabled() || !button->window()->isEnabled()) return;
        button->click();
        // The window is disabled while the command runs, which takes the focus away:
        // give it back, so that the next command (or Up) can be typed at once.
        edit->setFocus(Qt::OtherFocusReason);
    });
    return history;
}

void CommandPage::applyLanguage(pb::Language language) {
    using enum pb::MsgId;
    const auto msg = [language](pb::MsgId id) { return pb::Msg(id, language); };
    lblCommandSend->setText(msg(SendCommand));
    lblCommandRecv->setText(msg(ReceiveData));
    btnCommand->setText(msg(TestCommand));
    lblModuleCommandSend->setText(msg(SendCommand));
    lblModuleCommandRecv->setText(msg(ReceiveData));
    btnModuleCommand->setText(msg(TestCommand));
    gbModule->setTitle(msg(ModuleCommandTest));
    gbController->setTitle(msg(ControllerCommandTest));
    lblModuleType->setText(msg(Type));
}

void CommandPage::runsThrough(const pb::RunRequest& run) {
    run_ = run;
    connect(btnCommand, &QPushButton::clicked, this, &CommandPage::btnCommandClick);
    connect(btnModuleCommand, &QPushButton::clicked, this, &CommandPage::btnModuleCommandClick);
}

void CommandPage::btnCommandClick() {
    pb::TestParams p;
    p.console.text = edCommandSend->text();
    run_({pb::TestId::ControllerCommand, p});
}

void CommandPage::btnModuleCommandClick() {
    pb::TestParams p;
    p.console.moduleType = cmbModuleType->currentIndex();
    p.console.moduleNumber = cmbModuleId->currentText();
    p.console.text = edModuleCommandSend->text();
    run_({pb::TestId::ModuleCommand, p});
}
