#include "app/OperatorNameDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "i18n/RecordsTexts.h"

OperatorNameDialog::OperatorNameDialog(const QString& name, int language, QWidget* parent)
    : QDialog(parent),
      prompt_(new QLabel(pb::Text(pb::RecordText::OperatorPrompt, language), this)),
      edit_(new QLineEdit(name, this)),
      ok_(new QPushButton(pb::Text(pb::RecordText::Ok, language), this)),
      cancel_(new QPushButton(pb::Text(pb::RecordText::Cancel, language), this)) {
    setObjectName(QStringLiteral("OperatorNameDialog"));
    prompt_->setObjectName(QStringLiteral("lbOperatorPrompt"));
    edit_->setObjectName(QStringLiteral("edOperator"));
    edit_->setMaxLength(100);
    ok_->setObjectName(QStringLiteral("btOperatorOk"));
    cancel_->setObjectName(QStringLiteral("btOperatorCancel"));
    ok_->setDefault(true);
    setWindowTitle(pb::Text(pb::RecordText::OperatorTitle, language));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(360);
}

QString OperatorNameDialog::name() const { return edit_->text().trimmed(); }
