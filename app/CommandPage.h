#pragma once
// Page tsCommand: the controller console above the module console; shows their replies.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

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

    // pb::ConsoleView
    void setControllerReplyText(const QString& text) override { edCommandRecv->setText(text); }
    void setModuleReplyText(const QString& text) override { edModuleCommandRecv->setText(text); }
};
