#pragma once
// The commands sent from one console's edit field, oldest first, at most the last 50:
// Up steps back through them, Down forward again and finally to the text that was being
// typed before Up was first pressed.

#include <QObject>
#include <QStringList>

class QLineEdit;

namespace pb {

class CommandHistory : public QObject {
public:
    static constexpr int kMostKept = 50;

    // Listens to edit's Up and Down keys; lives as long as the field.
    explicit CommandHistory(QLineEdit* edit);

    // A command was sent: it becomes the newest (once, if sent twice in a row), and the
    // next Up starts from it.
    void remember(const QString& command);
    const QStringList& commands() const { return commands_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepBack();
    void stepForward();

    QLineEdit* edit_;
    QStringList commands_;
    int at_ = 0;     // commands_.size(): the text being typed
    QString draft_;  // that text, kept while older ones are shown
};

}  // namespace pb
