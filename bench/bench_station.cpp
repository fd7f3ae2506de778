// The station's answer to a scan: time from the Enter that ends the scanned serial to
// the first frame the link writes (Link::traffic, "Sent"), and to the verdict on show,
// with the station window offscreen and the simulated controller in this process, over
// TCP loopback and over a pseudo-terminal. The procedures wait 100 ms before a test's
// first command (as the controller's tools always have), except a recipe run's very
// first; the pauses asked for before the first frame are summed apart, so the station's
// own share shows, and a pause that comes back shows as a gap.
//
//   bench_station [scans per transport, default 30]

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/StationWindow.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "catalogue/RecipeLoader.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"

namespace {

constexpr char kRecipe[] = R"({"schema": 1, "product": "Bench", "steps": [{"kind": "identify"}]})";

struct Times {
    std::vector<double> firstFrameMs, ownMs, verdictMs;
};

// The window's clock, summing the pauses asked for until the first frame is out.
class SummingClock : public pb::EventLoopClock {
public:
    void pause(int ms) override {
        if (!frameSeen) pausedMs += ms;
        pb::EventLoopClock::pause(ms);
    }
    bool frameSeen = false;
    int pausedMs = 0;
};

void Print(const char* transport, const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-6s %-12s min %7.2f  median %7.2f  max %7.2f ms  (%zu scans)\n", transport, what,
                v.front(), v[v.size() / 2], v.back(), v.size());
}

Times Measure(const pb::LinkSettings& link, sim::Controller& controller, int scans) {
    pb::RecipeLoad load = pb::loadRecipe(kRecipe);
    if (!load.recipe) std::abort();
    pb::StationWindow station(*load.recipe, [link] { return link; }, 0);
    SummingClock clock;
    station.setClock(&clock);
    station.show();
    QElapsedTimer timer;
    double firstFrame = -1;
    QObject::connect(&station, &pb::StationWindow::traffic, &station, [&](const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Sent && firstFrame < 0) {
            firstFrame = double(timer.nsecsElapsed()) / 1e6;
            clock.frameSeen = true;
        }
    });
    Times times;
    for (int i = 0; i < scans; ++i) {
        const QByteArray serial = "SN" + QByteArray::number(100000 + i);
        controller.setSerial(serial);
        station.serialField()->setText(QString::fromLatin1(serial));
        QApplication::processEvents();
        firstFrame = -1;
        clock.frameSeen = false;
        clock.pausedMs = 0;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        timer.start();
        QApplication::sendEvent(station.serialField(), &press);  // returns after the verdict
        const double verdict = double(timer.nsecsElapsed()) / 1e6;
        if (firstFrame < 0 || station.counts().passed() != i + 1) {
            std::fprintf(stderr, "scan %d did not pass\n", i);
            std::exit(1);
        }
        times.firstFrameMs.push_back(firstFrame);
        times.ownMs.push_back(firstFrame - clock.pausedMs);
        times.verdictMs.push_back(verdict);
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int scans = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    sim::Controller controller(sim::Model::V6);
    sim::TcpServer tcp(controller);
    tcp.listen(0);
    pb::LinkSettings net;
    net.kind = pb::LinkKind::Net;
    net.ip = QStringLiteral("127.0.0.1");
    net.tcpPort = QString::number(tcp.port());
    const Times overTcp = Measure(net, controller, scans);
    Print("TCP", "first frame", overTcp.firstFrameMs);
    Print("TCP", "- pauses", overTcp.ownMs);
    Print("TCP", "verdict", overTcp.verdictMs);

    sim::PtyServer pty(controller);
    if (!pty.open()) return 1;
    pb::LinkSettings serial;
    serial.kind = pb::LinkKind::Com;
    serial.portName = pty.slavePath();
    serial.speed = QStringLiteral("19200,n,8,1");
    const Times overPty = Measure(serial, controller, scans);
    Print("pty", "first frame", overPty.firstFrameMs);
    Print("pty", "- pauses", overPty.ownMs);
    Print("pty", "verdict", overPty.verdictMs);
    return 0;
}
