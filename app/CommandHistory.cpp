#include "app/CommandHistory.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace pb {

CommandHistory::CommandHistory(QLineEdit* edit) : QObject(edit), edit_(edit) {
    edit->installEventFilter(this);
}

void CommandHistory::remember(const QString& command) {
    if (!command.isEmpty() && (commands_.isEmpty() || commands_.last() != command)) {
        commands_.append(command);
        if (commands_.size() > kMostKept) commands_.removeFirst();
    }
    at_ = int(commands_.size());
    draft_.clear();
}

bool CommandHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up && key->modifiers() == Qt::NoModifier) {
            stepBack();
            return true;
        }
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
            stepForward();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CommandHistory::stepBack() {
    if (at_ == 0) return;
    const int newest = int(commands_.size()) - 1;
    if (at_ > newest) {
        draft_ = edit_->text();
        // The field still shows the command just sent: the step back is to the one before.
        if (newest > 0 && commands_.at(newest) == draft_) --at_;
    }
    edit_->setText(commands_.at(--at_));
}

void CommandHistory::stepForward() {
    const int newest = int(commands_.size()) - 1;
    if (at_ > newest) return;
    ++at_;
    // The newest is what was being typed: no need to show it twice.
    if (at_ == newest && commands_.at(newest) == draft_) ++at_;
    edit_->setText(at_ > newest ? draft_ : commands_.at(at_));
}

}  // namespace pb
