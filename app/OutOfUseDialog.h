#pragma once
// Asks why a fixture's socket is taken out of use; OK only with a reason.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pb {

class OutOfUseDialog : public QDialog {
    Q_OBJECT
public:
    OutOfUseDialog(const QString& socket, int language, QWidget* parent = nullptr);
    QString reason() const;
    QLineEdit* reasonEdit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* prompt_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace pb
