// Device link figures: the round trip of SendCrcCommand over TCP loopback beside a
// minimal blocking-socket client doing the same exchange against the same peer, and
// the CPU time spent while a transaction waits out its 1200 ms limit.
//
//   bench_link [round trips, default 5000]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/Frame.h"
#include "link/Link.h"

namespace {

// A controller stand-in on its own thread: answers every frame (up to its CR) with a
// fixed reply at once, or stays silent.
class LoopbackPeer {
public:
    LoopbackPeer(QByteArray reply, bool silent) : reply_(std::move(reply)), silent_(silent) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 4);
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackPeer() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    quint16 port() const { return port_; }

private:
    void serve() {
        while (!stop_) {
            const int c = ::accept(listener_, nullptr, nullptr);
            if (c < 0) return;
            int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            char buf[4096];
            for (ssize_t n; (n = ::recv(c, buf, sizeof buf, 0)) > 0;) {
                if (silent_) continue;
                for (ssize_t i = 0; i < n; ++i)
                    if (buf[i] == '\r') (void)!::send(c, reply_.constData(), size_t(reply_.size()), 0);
            }
            ::close(c);
        }
    }
    QByteArray reply_;
    bool silent_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The baseline: write the frame, read until the CR, nothing else.
std::vector<double> blockingClient(quint16 port, const QByteArray& frame, int count) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    std::vector<double> us;
    QElapsedTimer t;
    char buf[1500];
    for (int i = 0; i < count; ++i) {
        t.start();
        (void)!::send(s, frame.constData(), size_t(frame.size()), 0);
        for (bool done = false; !done;) {
            const ssize_t n = ::recv(s, buf, sizeof buf, 0);
            if (n <= 0) break;
            done = buf[n - 1] == '\r';
        }
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    ::close(s);
    return us;
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, atoi(argv[1])) : 5000;

    // A 17-byte identify reply with a valid CRC.
    const QByteArray reply = QByteArray("\x03" "0001AC01234\x04" "0000\r");
    LoopbackPeer peer(reply, false);
    pb::LinkSettings settings;
    settings.kind = pb::LinkKind::Net;
    settings.ip = "127.0.0.1";
    settings.tcpPort = QString::number(peer.port());

    const QByteArray frame = pb::BuildCrcFrame("0000AC");
    // Interleave the two clients in rounds so both see the same machine load.
    std::vector<double> tool, plain;
    pb::Link link;
    for (int round = 0; round < 5; ++round) {
        const auto p = blockingClient(peer.port(), frame, count / 5);
        plain.insert(plain.end(), p.begin(), p.end());
        link.OpenLink(settings);
        QElapsedTimer t;
        for (int i = 0; i < count / 5; ++i) {
            t.start();
            link.SendCrcCommand("0000AC");  // the reply's checksum is deliberately not valid: the
            tool.push_back(t.nsecsElapsed() / 1000.0);  // exchange is what is timed
        }
        link.CloseLink();
    }
    const double toolUs = median(tool), plainUs = median(plain);
    std::printf("round trip over TCP loopback (median of %d):\n", count);
    std::printf("  SendCrcCommand        %8.1f us\n", toolUs);
    std::printf("  blocking-socket client %8.1f us\n", plainUs);
    std::printf("  ratio                  %8.2f x\n", toolUs / plainUs);

    LoopbackPeer silent(reply, true);
    settings.tcpPort = QString::number(silent.port());
    link.OpenLink(settings);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const bool ok = link.SendCrcCommand("0000AC").ok();
    const double cpuMs = (cpuSeconds() - before) * 1000.0;
    std::printf("waiting out the TCP reply limit: %s after %lld ms, CPU time %.2f ms\n",
                ok ? "succeeded?!" : "failed", static_cast<long long>(wall.elapsed()), cpuMs);
    link.CloseLink();  // lets the silent peer's thread see the end of its connection
    return 0;
}
