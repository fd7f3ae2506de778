#pragma once
// The application object. A failure thrown out of an event handler is shown in a message
// box and ends the program with result 0 instead of aborting it.

#include <QApplication>

namespace pb {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows `what` in the standard error box; then the event loop ends.
    static void ShowException(const QString& what);
};

}  // namespace pb
