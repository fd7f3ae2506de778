#pragma once
// Page tsCommand: the controller console above the module console; shows their replies.
// Each console sends on Enter as on its button, keeps the focus in its field after, and
// keeps its commands for Up and Down.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/CommandHistory.h"
#include "app/TestButtons.h"
#include "i18n/Language.h"
#include "procedures/ConsoleView.h"

namespace Ui {

// The page's controls, each under its object name.
struct CommandPageControls {
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
};

}  // namespace Ui

class CommandPage : public QWidget, public Ui::CommandPageControls, public pb::ConsoleView {
    Q_OBJECT
public:
    explicit CommandPage(QWidget* parent = nullptr);

    void applyLanguage(pb::Language language);
    // Each console's button asks `run` to send what its field says (the module's to the
    // module of the chosen type and number).
    void runsThrough(const pb::RunRequest& run);
    void btnCommandClick();
    void btnModuleCommandClick();

    // pb::ConsoleView
    void setControllerReplyText(const QString& text) override { edCommandRecv->setText(text); }
    void setModuleReplyText(const QString& text) override { edModuleCommandRecv->setText(text); }

    // What each console's Up and Down keys walk through.
    pb::CommandHistory& controllerHistory() { return *controllerHistory_; }
    pb::CommandHistory& moduleHistory() { return *moduleHistory_; }

private:
    // Enter in the field sends as its button does; every command sent is remembered.
    pb::CommandHistory* sendsOnEnter(QLineEdit* edit, QPushButton* button);

    pb::CommandHistory* controllerHistory_ = nullptr;
    pb::CommandHistory* moduleHistory_ = nullptr;
    pb::RunRequest run_;
};
