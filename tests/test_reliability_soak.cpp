// The DI/DO loop left running against the simulated controller, over TCP and over a
// pseudo-terminal, with the inputs toggling and every output ticked: memory, descriptors
// and live QObjects must not grow, and not one transaction may fail.
//
// PANELBENCH_SOAK_SECONDS sets how long each loop runs (default 15); scripts/soak.sh runs
// the same tests for 20 minutes. The figures are printed as "soak ..." lines.
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

#include "link/Clock.h"
#include "procedures/DidoTest.h"
#include "tests/support/SimHarness.h"

// Qt's hook table for object-tracking tools: called on every QObject made and destroyed.
extern quintptr Q_CORE_EXPORT qtHookData[];

using namespace pbtest;

namespace pbtest {
// The transport in the names gtest prints.
inline void PrintTo(Wire w, std::ostream* os) {
    *os << WireName(w);
}
}  // namespace pbtest

namespace {

// ---------------------------------------------------------------- what is measured

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryFiguresMeaningful = false;  // the sanitizer's quarantine grows by design
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryFiguresMeaningful = false;
#else
constexpr bool kMemoryFiguresMeaningful = true;
#endif
#else
constexpr bool kMemoryFiguresMeaningful = true;
#endif

std::atomic<qint64> liveQObjects{0};
using ObjectHook = void (*)(QObject*);
ObjectHook previousAddHook = nullptr;
ObjectHook previousRemoveHook = nullptr;
constexpr int kAddQObjectHook = 3;  // indices of Qt's hook table
constexpr int kRemoveQObjectHook = 4;

void countAdded(QObject* o) {
    ++liveQObjects;
    if (previousAddHook) previousAddHook(o);
}
void countRemoved(QObject* o) {
    --liveQObjects;
    if (previousRemoveHook) previousRemoveHook(o);
}

// Installed before main(), so the count starts with the first QObject.
const bool objectHooksInstalled = [] {
    if (qtHookData[1] <= kRemoveQObjectHook) return false;  // table too short
    previousAddHook = reinterpret_cast<ObjectHook>(qtHookData[kAddQObjectHook]);
    previousRemoveHook = reinterpret_cast<ObjectHook>(qtHookData[kRemoveQObjectHook]);
    qtHookData[kAddQObjectHook] = reinterpret_cast<quintptr>(&countAdded);
    qtHookData[kRemoveQObjectHook] = reinterpret_cast<quintptr>(&countRemoved);
    return true;
}();

struct Sample {
    qint64 ms = 0;
    qint64 rssKiB = 0;
    qint64 heapBytes = 0;  // in use: arena blocks plus mmapped blocks
    qint64 fds = 0;
    qint64 qobjects = 0;
};

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

qint64 openDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return -1;
    qint64 n = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++n;
    ::closedir(dir);
    return n - 1;  // not the one reading the folder
}

Sample takeSample(qint64 ms) {
    const struct mallinfo2 m = ::mallinfo2();
    return {ms, residentKiB(), qint64(m.uordblks + m.hblkhd), openDescriptors(),
            liveQObjects.load()};
}

// ---------------------------------------------------------------- the criterion

qint64 median(QList<qint64> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// The series after warm-up in thirds; each figure the median of its third. A leak rises
// steadily, so it rises in the second half as much as in the first; the allocator's
// warm-up rises early and then stays flat. Growth is judged on the second half only.
struct Growth {
    qint64 start = 0, middle = 0, end = 0;
    qint64 firstHalf() const { return middle - start; }
    qint64 secondHalf() const { return end - middle; }
};

Growth GrowthOf(const QList<qint64>& series) {
    const qsizetype third = series.size() / 3;
    if (third == 0) return {};
    return {median(series.mid(0, third)), median(series.mid(third, third)),
            median(series.mid(2 * third))};
}

QList<qint64> SeriesOf(const std::vector<Sample>& samples, qint64 Sample::*field) {
    QList<qint64> v;
    for (const Sample& s : samples) v.append(s.*field);
    return v;
}

// Allowed rise over the second half. A leak of a few bytes per transaction fills
// these within the 20-minute run; one of a few hundred within the suite's seconds.
constexpr qint64 kHeapToleranceBytes = 32 * 1024;
constexpr qint64 kRssToleranceKiB = 512;
// Started and stopped again and again, the heap may differ by the allocator's noise only.
constexpr qint64 kRestartHeapToleranceBytes = 8 * 1024;
constexpr qint64 kObjectTolerance = 2;  // a wait's own loop and timer, alive or not

// ---------------------------------------------------------------- the loop

int SoakSeconds() {
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("PANELBENCH_SOAK_SECONDS", &ok);
    return ok && s > 0 ? s : 15;
}

// PANELBENCH_SOAK_STARTS sets how often the loop is started and stopped (default 15).
int RepeatedStarts() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("PANELBENCH_SOAK_STARTS", &ok);
    return ok && n > 0 ? n : 15;
}

// The window as far as the loop needs it, remembering no history (a history would grow).
class SoakView : public RecordingProcedureView {
public:
    void setInputLamp(int k, pb::InputLamp colour) override {
        if (inputLamps[size_t(k)] != colour) ++lampChanges[size_t(k)];
        inputLamps[size_t(k)] = colour;
    }
    void processEvents() override {
        if (onProcessEvents) onProcessEvents();
        QCoreApplication::processEvents();
    }
    // Drops what the recording view noted of a run (statuses, lamps, beeps, changes).
    void forgetRun() {
        statuses.clear();
        lamps.clear();
        busyChanges.clear();
        beeps.clear();
        log.clear();
    }
    std::array<int, 9> lampChanges{};
};

struct Traffic {
    qint64 sent = 0, replies = 0, failures = 0, cycles = 0;
};

// Counts what the link does; a failure is a transaction without a good reply.
void countTraffic(pb::Link& link, Traffic& t) {
    QObject::connect(&link, &pb::Link::traffic, [&t](const pb::TrafficRecord& r) {
        using D = pb::TrafficRecord::Direction;
        if (r.direction == D::Sent) {
            ++t.sent;
            if (r.bytes.contains("DG0")) ++t.cycles;
        } else if (r.direction == D::Received && r.checksumOk) {
            ++t.replies;
        } else {
            ++t.failures;
        }
    });
}

// Clicks the DI/DO button from inside an event loop, as the window does, and returns
// once the test has ended and everything the link let go of is deleted.
pb::Outcome ClickAndRunToEnd(SimHarness& h, pb::ProcedureContext& ctx) {
    pb::Outcome outcome = pb::Outcome::Error;
    QEventLoop windowLoop;
    QTimer::singleShot(0, &windowLoop, [&] {
        outcome = pb::DidoTestClick(ctx);
        windowLoop.quit();
    });
    windowLoop.exec();

    // The simulator notices the closed connection on its own time.
    if (h.tcp && h.tcp->hasClient()) {
        QEventLoop wait;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(h.tcp.get(), &sim::TcpServer::clientDisconnected, &wait,
                         &QEventLoop::quit);
        QObject::connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
        deadline.start(2000);
        wait.exec();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return outcome;
}

// Stops the running test with the second click after ms.
void SecondClickAfter(int ms, QObject* context, pb::ProcedureContext& ctx) {
    QTimer::singleShot(ms, context, [&ctx] {
        if (ctx.state.didoRunning) pb::DidoTestClick(ctx);
    });
}

// A short run of the loop, so that whatever Qt makes once on first use exists before
// anything is counted.
void WarmUpOnce(SimHarness& h, pb::ProcedureContext& ctx) {
    QObject guard;
    SecondClickAfter(300, &guard, ctx);
    ASSERT_EQ(ClickAndRunToEnd(h, ctx), pb::Outcome::Ok);
}

QString Figure(qint64 v, const char* unit) {
    return QStringLiteral("%1 %2").arg(v).arg(QLatin1String(unit));
}

void PrintFigures(const char* wire, int seconds, const Traffic& t, const Sample& before,
                  const Sample& first, const Sample& last, const Sample& after) {
    std::printf(
        "soak %s: %d s, %lld cycles, %lld transactions (%.1f/s), %lld failures\n"
        "soak %s: RSS %lld -> %lld KiB, heap %lld -> %lld bytes, fds %lld -> %lld, "
        "QObjects %lld -> %lld (first sample after warm-up -> last)\n"
        "soak %s: idle before/after: fds %lld/%lld, QObjects %lld/%lld, heap %lld/%lld bytes\n",
        wire, seconds, t.cycles, t.sent, double(t.sent) / seconds, t.failures, wire, first.rssKiB,
        last.rssKiB, first.heapBytes, last.heapBytes, first.fds, last.fds, first.qobjects,
        last.qobjects, wire, before.fds, after.fds, before.qobjects, after.qobjects,
        before.heapBytes, after.heapBytes);
    std::fflush(stdout);
}

void PrintGrowth(const char* wire, const char* what, const Growth& g, const char* unit) {
    std::printf("soak %s: %s medians %s / %s / %s, growth first half %s, second half %s\n", wire,
                what, qPrintable(Figure(g.start, unit)), qPrintable(Figure(g.middle, unit)),
                qPrintable(Figure(g.end, unit)), qPrintable(Figure(g.firstHalf(), unit)),
                qPrintable(Figure(g.secondHalf(), unit)));
    std::fflush(stdout);
}

class ReliabilitySoak : public ::testing::TestWithParam<Wire> {};

TEST_P(ReliabilitySoak, DidoLoopKeepsMemoryDescriptorsAndObjectsFlat) {
    const Wire wire = GetParam();
    const char* name = wire == Wire::Tcp ? "tcp" : "pty";
    const int seconds = SoakSeconds();
    // A quarter of the run, from 9 s (the allocator and Qt settle within about 10 s of the
    // start) to 60 s, but never more than 60 % of a short run.
    const qint64 warmUpMs =
        std::min<qint64>(std::clamp<qint64>(seconds * 250, 9000, 60000), seconds * 600);

    SimHarness h(sim::Model::Kv410, QString(), wire);
    ASSERT_TRUE(h.serving());
    SoakView view;
    view.settings = h.view.settings;
    pb::EventLoopClock clock;
    pb::ProcedureContext ctx{h.link, view.settings, view, view, view, view, view, clock, h.state};
    WarmUpOnce(h, ctx);
    const Sample before = takeSample(0);

    Traffic traffic;
    countTraffic(h.link, traffic);
    auto timers = std::make_unique<QObject>();  // owns every timer of the run
    QElapsedTimer elapsed;
    elapsed.start();

    // Every output ticked, the third one flipped now and then; the inputs walk a
    // pattern of four on, four off, one position per step, so each lamp changes often.
    view.outputs = {false, true, true, true, true};
    auto* flipOutput = new QTimer(timers.get());
    QObject::connect(flipOutput, &QTimer::timeout, [&] { view.outputs[3] = !view.outputs[3]; });
    flipOutput->start(700);
    QString pattern = QStringLiteral("11110000");
    h.controller.setInputs(pattern);
    auto* walkInputs = new QTimer(timers.get());
    QObject::connect(walkInputs, &QTimer::timeout, [&] {
        pattern = pattern.right(1) + pattern.left(7);
        h.controller.setInputs(pattern);
    });
    walkInputs->start(100);

    // Samples while the loop runs; the simulator's own frame log is not the tool's memory.
    // Written once now and emptied: filling it later touches no new page, so the list
    // itself shows neither in the heap nor in the resident size.
    std::vector<Sample> samples(size_t(seconds) * 4 + 16);
    samples.clear();
    auto* sampler = new QTimer(timers.get());
    QObject::connect(sampler, &QTimer::timeout, [&] {
        h.controller.clearLog();
        h.controller.clearCommands();
        if (elapsed.elapsed() >= warmUpMs) samples.push_back(takeSample(elapsed.elapsed()));
    });
    sampler->start(250);
    SecondClickAfter(seconds * 1000, timers.get(), ctx);

    EXPECT_EQ(ClickAndRunToEnd(h, ctx), pb::Outcome::Ok);
    timers.reset();
    const Sample after = takeSample(elapsed.elapsed());

    if (qEnvironmentVariableIsSet("PANELBENCH_SOAK_SERIES"))
        for (const Sample& x : samples)
            std::printf(
                "soak %s series: %lld ms, RSS %lld KiB, heap %lld, fds %lld, QObjects %lld\n", name,
                x.ms, x.rssKiB, x.heapBytes, x.fds, x.qobjects);
    ASSERT_GE(samples.size(), 6u) << "too few samples after the warm-up";
    PrintFigures(name, seconds, traffic, before, samples.front(), samples.back(), after);

    // Not one transaction failed, and the loop kept its pace.
    EXPECT_EQ(traffic.failures, 0);
    EXPECT_EQ(traffic.replies, traffic.sent);
    EXPECT_GE(traffic.cycles, qint64(seconds) * 2) << "the loop hardly ran";
    for (size_t k = 1; k <= 8; ++k)
        EXPECT_GE(view.lampChanges[k], seconds) << "input lamp " << k << " did not follow";
    EXPECT_TRUE(view.allInputsWhite());
    EXPECT_FALSE(h.link.isOpen());

    // Descriptors: none gained while running, none left behind after.
    const QList<qint64> fds = SeriesOf(samples, &Sample::fds);
    EXPECT_EQ(*std::max_element(fds.begin(), fds.end()), samples.front().fds);
    EXPECT_EQ(after.fds, before.fds);

    // Objects: none left behind, and no rise while running.
    if (objectHooksInstalled) {
        const Growth objects = GrowthOf(SeriesOf(samples, &Sample::qobjects));
        PrintGrowth(name, "QObjects", objects, "");
        EXPECT_LE(objects.secondHalf(), kObjectTolerance);
        EXPECT_EQ(after.qobjects, before.qobjects);
    }

    const Growth heap = GrowthOf(SeriesOf(samples, &Sample::heapBytes));
    const Growth rss = GrowthOf(SeriesOf(samples, &Sample::rssKiB));
    PrintGrowth(name, "heap", heap, "bytes");
    PrintGrowth(name, "RSS", rss, "KiB");
    if (kMemoryFiguresMeaningful) {
        EXPECT_LE(heap.secondHalf(), kHeapToleranceBytes)
            << "heap grows: " << traffic.sent << " transactions";
        EXPECT_LE(rss.secondHalf(), kRssToleranceKiB);
    }
}

// Starting and stopping the loop over and over: each start opens the link, each stop
// closes it. Whatever a start makes, its stop must give back.
TEST_P(ReliabilitySoak, RepeatedStartsLeaveNoDescriptorOrObjectBehind) {
    SimHarness h(sim::Model::Kv410, QString(), GetParam());
    ASSERT_TRUE(h.serving());
    SoakView view;
    view.settings = h.view.settings;
    pb::EventLoopClock clock;
    pb::ProcedureContext ctx{h.link, view.settings, view, view, view, view, view, clock, h.state};
    Traffic traffic;
    countTraffic(h.link, traffic);

    // Stops each run after two cycles, through the second click.
    int queries = 0;
    view.onProcessEvents = [&] {
        if (h.state.didoRunning && traffic.cycles >= queries + 2) pb::DidoTestClick(ctx);
    };
    auto runOnce = [&] {
        queries = int(traffic.cycles);
        view.outputs = {false, true, false, true, false};
        EXPECT_EQ(ClickAndRunToEnd(h, ctx), pb::Outcome::Ok);
        h.controller.clearLog();
        h.controller.clearCommands();
        view.forgetRun();
    };
    runOnce();
    runOnce();
    const Sample before = takeSample(0);
    const int starts = RepeatedStarts();
    for (int i = 0; i < starts; ++i) runOnce();
    const Sample after = takeSample(0);

    std::printf(
        "soak %s restarts: %d starts, fds %lld/%lld, QObjects %lld/%lld, heap %lld/%lld bytes\n",
        WireName(GetParam()), starts, before.fds, after.fds, before.qobjects, after.qobjects,
        before.heapBytes, after.heapBytes);
    EXPECT_EQ(traffic.failures, 0);
    EXPECT_EQ(after.fds, before.fds);
    if (objectHooksInstalled) {
        EXPECT_EQ(after.qobjects, before.qobjects);
    }
    if (kMemoryFiguresMeaningful) {
        EXPECT_LE(after.heapBytes - before.heapBytes, kRestartHeapToleranceBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Wires, ReliabilitySoak, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

// The criterion on made-up series: it must see a steady leak through noise and
// allocator warm-up, and not mistake warm-up or noise for a leak.
TEST(SoakCriterion, SteadyLeakIsSeenThroughWarmUpAndNoise) {
    QList<qint64> series;
    for (int i = 0; i < 120; ++i)
        series.append(1'000'000 + 200'000 * (i < 10) + i * 2'000 + (i % 7) * 3'000);
    EXPECT_GT(GrowthOf(series).secondHalf(), kHeapToleranceBytes);
}

TEST(SoakCriterion, WarmUpAndNoiseAloneAreNotALeak) {
    QList<qint64> series;
    for (int i = 0; i < 120; ++i)
        series.append(1'000'000 + std::min(i, 30) * 10'000 + ((i * 37) % 11) * 4'000);
    const Growth g = GrowthOf(series);
    EXPECT_GT(g.firstHalf(), kHeapToleranceBytes);  // the warm-up shows in the first half
    EXPECT_LE(g.secondHalf(), kHeapToleranceBytes);
}

TEST(SoakCriterion, MeasuresWhatItClaims) {
    // The descriptor count sees a descriptor opened and closed.
    const qint64 fds = openDescriptors();
    QFile f(QStringLiteral("/proc/self/status"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(openDescriptors(), fds + 1);
    f.close();
    EXPECT_EQ(openDescriptors(), fds);

    // The object count sees objects made and deleted.
    ASSERT_TRUE(objectHooksInstalled);
    const qint64 objects = liveQObjects.load();
    {
        QObject a, b;
        EXPECT_EQ(liveQObjects.load(), objects + 2);
    }
    EXPECT_EQ(liveQObjects.load(), objects);

    // The heap figure sees a megabyte held.
    if (kMemoryFiguresMeaningful) {
        const qint64 heap = takeSample(0).heapBytes;
        QByteArray held(1 << 20, 'x');
        EXPECT_GE(takeSample(0).heapBytes - heap, 1 << 20);
        EXPECT_GT(residentKiB(), 0);
    }
}

}  // namespace
