#pragma once
// The program's interactive prompt on standard input: set inputs, show the state.
// End of input only stops the prompt, never the simulator.

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace sim {

class Controller;

class Console : public QObject {
    Q_OBJECT
public:
    explicit Console(Controller& c, QObject* parent = nullptr);
    void start();  // begins reading standard input
    // Carries out one line; returns what to print.
    QString execute(const QString& line);

signals:
    void quitRequested();

private:
    void readLine();

    Controller& controller_;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray partial_;
};

}  // namespace sim
