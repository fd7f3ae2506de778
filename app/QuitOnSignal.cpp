#include "app/QuitOnSignal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace pb {
namespace {

// The handler may only write a byte; the event loop reads it on the other end.
int signalPair[2] = {-1, -1};

void OnSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPair[1], &b, 1);
}

}  // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPair) != 0) return;
    notifier_ = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(signalPair[0], &b, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
    if (!notifier_) return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

}  // namespace pb
