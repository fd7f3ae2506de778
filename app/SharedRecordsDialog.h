#pragma once
// File > Shared records: the PostgreSQL server every run also goes to. A URL that cannot
// be used (a password in it, a bad port...) is refused with its reason; empty keeps the
// records on this PC only.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class SharedRecordsDialog : public QDialog {
    Q_OBJECT
public:
    SharedRecordsDialog(const QString& url, int language, QWidget* parent = nullptr);
    QString url() const;
    QLineEdit* urlEdit() const { return edit_; }
    QLabel* problemLabel() const { return problem_; }
    QPushButton* saveButton() const { return save_; }

private:
    void save();

    int language_;
    QLabel* prompt_;
    QLineEdit* edit_;
    QLabel* note_;
    QLabel* problem_;
    QPushButton* save_;
    QPushButton* cancel_;
};
