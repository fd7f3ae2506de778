#include "records/store/RunRecorder.h"

namespace pb::records {

void RunRecorder::begin(const RunStart& start) {
    // A run left open (its end never came) is not completed on a guess: the next open of
    // the store marks it interrupted if its writer is gone; here it is just let go.
    traffic_.clear();
    runId_ = store_.writer().beginRun(start);
    sinceTrafficKept_.start();
}

namespace {
// Each write replaces the run's traffic so far: rarely enough that a long run does not
// feel it.
constexpr qint64 kTrafficEveryMs = 2000;
}  // namespace

void RunRecorder::frame(const TrafficFrame& frame) {
    if (runId_ <= 0) return;
    traffic_.add(frame);
    if (sinceTrafficKept_.elapsed() >= kTrafficEveryMs) keepTraffic();
}

void RunRecorder::progress(const QJsonObject& details) {
    if (runId_ > 0) store_.writer().updateRunDetails(runId_, details);
}

void RunRecorder::end(const RunEnd& end) {
    if (runId_ <= 0) return;
    keepTraffic();
    store_.writer().endRun(runId_, end);
    runId_ = 0;
    traffic_.clear();
}

void RunRecorder::keepTraffic() {
    if (traffic_.frameCount() > 0) store_.writer().saveTraffic(runId_, traffic_.kept());
    sinceTrafficKept_.restart();
}

std::optional<RecordsStatus> RunRecorder::takeNewProblem() {
    const RecordsStatus& status = store_.status();
    if (status.ok() || problemShown_) return std::nullopt;
    problemShown_ = true;
    return status;
}

}  // namespace pb::records
