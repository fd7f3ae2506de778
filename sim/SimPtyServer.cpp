#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "sim/SimController.h"
#include "sim/SimServers.h"

namespace sim {
namespace {

// Output kept for a slave nobody reads is capped; the tool discards it anyway.
constexpr int kPendingLimit = 65536;

}  // namespace

PtyServer::PtyServer(Controller& c, QObject* parent) : QObject(parent), controller_(c) {
    connect(&controller_, &Controller::send, this, [this](const QByteArray& bytes) {
        if (master_ < 0) return;
        pending_.append(bytes);
        if (pending_.size() > kPendingLimit) pending_ = pending_.right(kPendingLimit);
        writePending();
    });
    connect(&controller_, &Controller::dropConnection, this, &PtyServer::closeMaster);
}

PtyServer::~PtyServer() {
    closeMaster();
}

bool PtyServer::open() {
    closeMaster();
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error_ = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        master_ = slave_ = -1;
        return false;
    }
    // Raw line: no echo of replies, no CR to LF translation of commands.
    termios t{};
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = QString::fromLocal8Bit(name);
    pending_.clear();

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyServer::readMaster);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyServer::writePending);
    return true;
}

void PtyServer::closeMaster() {
    if (master_ < 0) return;
    delete readNotifier_;
    delete writeNotifier_;
    readNotifier_ = writeNotifier_ = nullptr;
    ::close(master_);
    ::close(slave_);
    master_ = slave_ = -1;
    pending_.clear();
    controller_.connectionClosed();
    emit closed();
}

void PtyServer::readMaster() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            controller_.receive(QByteArray(buffer, int(n)));
            if (master_ < 0) return;  // a fault closed the pair meanwhile
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // End of file or EIO (no slave open): rest a moment instead of spinning.
        readNotifier_->setEnabled(false);
        QTimer::singleShot(50, this, [this] {
            if (readNotifier_) readNotifier_->setEnabled(true);
        });
        return;
    }
}

void PtyServer::writePending() {
    while (master_ >= 0 && !pending_.isEmpty()) {
        const ssize_t n = ::write(master_, pending_.constData(), size_t(pending_.size()));
        if (n > 0) {
            pending_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) pending_.clear();  // nothing sensible left to do
        break;
    }
    if (writeNotifier_) writeNotifier_->setEnabled(!pending_.isEmpty());
}

}  // namespace sim
