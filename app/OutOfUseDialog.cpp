#include "app/OutOfUseDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "i18n/GangTexts.h"

namespace pb {

OutOfUseDialog::OutOfUseDialog(const QString& socket, int language, QWidget* parent)
    : QDialog(parent),
      prompt_(new QLabel(Text(GangText::OutOfUsePrompt, language).arg(socket), this)),
      edit_(new QLineEdit(this)),
      ok_(new QPushButton(Text(GangText::Ok, language), this)),
      cancel_(new QPushButton(Text(GangText::Cancel, language), this)) {
    setObjectName(QStringLiteral("OutOfUseDialog"));
    prompt_->setObjectName(QStringLiteral("lblOutOfUsePrompt"));
    prompt_->setWordWrap(true);
    edit_->setObjectName(QStringLiteral("edOutOfUseReason"));
    edit_->setMaxLength(200);
    ok_->setObjectName(QStringLiteral("btnOutOfUseOk"));
    cancel_->setObjectName(QStringLiteral("btnOutOfUseCancel"));
    ok_->setDefault(true);
    ok_->setEnabled(false);
    setWindowTitle(Text(GangText::OutOfUseTitle, language).arg(socket));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    connect(edit_, &QLineEdit::textChanged, this, [this] { ok_->setEnabled(!reason().isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(360);
}

QString OutOfUseDialog::reason() const {
    return edit_->text().trimmed();
}

}  // namespace pb
