#pragma once
// Asks for the operator's name, which every test run records. Empty is allowed.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class OperatorNameDialog : public QDialog {
    Q_OBJECT
public:
    OperatorNameDialog(const QString& name, int language, QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* nameEdit() const { return edit_; }

private:
    QLabel* prompt_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
