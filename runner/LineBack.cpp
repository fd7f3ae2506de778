#include "runner/LineBack.h"

#include <QElapsedTimer>

#include "catalogue/TestCatalogue.h"
#include "link/Link.h"

namespace pb {
namespace {

constexpr int kProbePauseMs = 500;

// Whether the link opens at all, without a run in the records for each try.
bool Opens(LinkSettings settings) {
    settings.lowLatency = false;  // a probe leaves the port alone
    settings.rs485 = false;
    Link probe;
    probe.setPortList([] { return QList<PortFacts>{}; });  // no adapter lookup for each look
    const bool opened = probe.OpenLink(settings).ok();
    probe.CloseLink();
    return opened;
}

}  // namespace

bool WorthAnotherUpgradeTry(const UpgradeResult& r) {
    return r.ending() == UpgradeEnding::FlashFailed && !r.stoppedOnRequest;
}

bool AwaitLineBack(TestRig& rig, HeadlessView& view, Clock& clock, const LineBackWait& wait) {
    QElapsedTimer waited;
    waited.start();
    const qint64 limitMs = qint64(wait.withinS) * 1000;
    // A clock that does not really wait (a test's) still gives up after as many probes.
    for (int probe = 0; probe * kProbePauseMs <= limitMs && waited.elapsed() <= limitMs; ++probe) {
        if (wait.cancelled()) return false;
        if (view.settings.kind == LinkKind::Com && !wait.adapterId.isEmpty())
            if (const auto moved = FindMovedAdapter(wait.ports(), view.settings.portName, wait.adapterId))
                view.settings.portName = *moved;
        if (Opens(view.settings)) {
            TestParams p;
            p.withinMs = int(qMax<qint64>(1000, limitMs - waited.elapsed()));
            const AnswerResult answer = *RunTest(rig, {TestId::AwaitAnswer, p}).as<AnswerResult>();
            if (answer == Outcome::Ok && answer.answeredAfterMs >= 0) return true;
            if (answer != Outcome::OpenFailed) return false;  // it opened and nobody answered
        }
        clock.pause(kProbePauseMs);
    }
    return false;
}

}  // namespace pb
