#include "records/RunRecorder.h"

namespace pb::records {

void RunRecorder::begin(const RunStart& start) {
    // A run left open (its end never came) is not completed on a guess: the next open of
    // the store marks it interrupted if its writer is gone; here it is just let go.
    traffic_.clear();
    runId_ = store_.beginRun(start);
    sinceTrafficKept_.start();
}

void RunRecorder::frame(const TrafficFrame& frame) {
    if (runId_ > 0) traffic_.add(frame);
}

void RunRecorder::progress(const QJsonObject& details) {
    if (runId_ <= 0) return;
    store_.updateRunDetails(runId_, details);
    if (sinceTrafficKept_.elapsed() >= 2000) keepTraffic();
}

void RunRecorder::end(const RunEnd& end) {
    if (runId_ <= 0) return;
    keepTraffic();
    store_.endRun(runId_, end);
    runId_ = 0;
    traffic_.clear();
}

void RunRecorder::keepTraffic() {
    if (traffic_.frameCount() > 0) store_.saveTraffic(runId_, traffic_.kept());
    sinceTrafficKept_.restart();
}

std::optional<RecordsStatus> RunRecorder::takeNewProblem() {
    const RecordsStatus& status = store_.status();
    if (status.ok() || problemShown_) return std::nullopt;
    problemShown_ = true;
    return status;
}

}  // namespace pb::records
