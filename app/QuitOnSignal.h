#pragma once
// SIGINT (Ctrl-C) and SIGTERM end the event loop instead of killing the program, so it
// closes its link and removes its temporary folders on the way out.

#include <QObject>

class QSocketNotifier;

namespace pb {

class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pb
