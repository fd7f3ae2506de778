#include "app/SharedRecordsDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "i18n/RecordsTexts.h"
#include "records/store/ServerAddress.h"

SharedRecordsDialog::SharedRecordsDialog(const QString& url, int language, QWidget* parent)
    : QDialog(parent), language_(language),
      prompt_(new QLabel(pb::Text(pb::RecordText::SharedPrompt, language), this)),
      edit_(new QLineEdit(url, this)),
      note_(new QLabel(pb::Text(pb::RecordText::SharedPasswordNote, language), this)),
      problem_(new QLabel(this)),
      save_(new QPushButton(pb::Text(pb::RecordText::Save, language), this)),
      cancel_(new QPushButton(pb::Text(pb::RecordText::Cancel, language), this)) {
    setObjectName(QStringLiteral("SharedRecordsDialog"));
    prompt_->setObjectName(QStringLiteral("lbRecordsUrlPrompt"));
    edit_->setObjectName(QStringLiteral("edRecordsUrl"));
    edit_->setPlaceholderText(QStringLiteral("postgresql://station@db.example:5432/records"));
    note_->setObjectName(QStringLiteral("lbRecordsUrlNote"));
    note_->setWordWrap(true);
    problem_->setObjectName(QStringLiteral("lbRecordsUrlProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->hide();
    save_->setObjectName(QStringLiteral("btRecordsUrlSave"));
    cancel_->setObjectName(QStringLiteral("btRecordsUrlCancel"));
    save_->setDefault(true);
    setWindowTitle(pb::Text(pb::RecordText::SharedTitle, language));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(edit_);
    layout->addWidget(note_);
    layout->addWidget(problem_);
    layout->addLayout(buttons);
    connect(save_, &QPushButton::clicked, this, &SharedRecordsDialog::save);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(edit_, &QLineEdit::textEdited, problem_, &QLabel::hide);
    setMinimumWidth(520);
}

QString SharedRecordsDialog::url() const { return edit_->text().trimmed(); }

void SharedRecordsDialog::save() {
    if (url().isEmpty()) return accept();
    using pb::records::UrlProblem;
    UrlProblem problem = UrlProblem::None;
    QString part;
    if (pb::records::ParseServerUrl(url(), nullptr, &problem, &part)) return accept();
    pb::RecordText text = pb::RecordText::UrlNotAUrl;
    if (problem == UrlProblem::Password) text = pb::RecordText::UrlPassword;
    if (problem == UrlProblem::BadPort) text = pb::RecordText::UrlBadPort;
    if (problem == UrlProblem::BadOption) text = pb::RecordText::UrlBadOption;
    QString shown = pb::Text(text, language_);
    if (shown.contains(QLatin1String("%1"))) shown = shown.arg(part);
    problem_->setText(shown);
    problem_->show();
    adjustSize();  // room for the reason without squeezing the note
    edit_->setFocus();
}
