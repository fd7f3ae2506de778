#pragma once
// The traffic monitor window: every frame of the link, live, over a TrafficLog.
// Pause, clear, find, copy the selection, save as text or CSV; follows new rows
// unless the user has scrolled up to read.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace pb {

class TrafficLog;

class TrafficMonitorWindow : public QWidget {
    Q_OBJECT
public:
    // The log stays the caller's; it may outlive the window and keep filling.
    explicit TrafficMonitorWindow(TrafficLog* log, QWidget* parent = nullptr);

    // Texts, column heads and font of language 0, 1 or 2 (the log follows too).
    void setLanguage(int language);
    // Writes every row to `path`: CSV when it ends in ".csv", else text. Shows why not.
    bool saveTo(const QString& path);

    QTableView* table() const { return table_; }
    QLineEdit* findField() const { return findField_; }
    QLabel* statusLabel() const { return status_; }
    bool followsNewRows() const { return follow_; }

public slots:
    void findNext();
    void copySelection();
    // Asks for a file name, then saves.
    void saveAs();

private:
    void updateStatus();
    void retranslate();

    TrafficLog* log_;
    int language_ = 0;
    bool follow_ = true;
    QString statusNote_;  // a find or save message, until the counts change
    QTableView* table_;
    QPushButton* pause_;
    QPushButton* clear_;
    QLabel* findLabel_;
    QLineEdit* findField_;
    QPushButton* findNext_;
    QPushButton* copy_;
    QPushButton* save_;
    QLabel* status_;
};

}  // namespace pb
