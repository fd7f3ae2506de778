#pragma once
// Records one run at a time as it goes: the glue between a test-run observer and traffic
// source on one side and the store on the other. begin() writes the run, frame() collects
// its traffic within the bound (written in batches, every two seconds at most, so that a
// run killed mid-way keeps its frames but the last), progress() writes its details
// mid-run in one statement, end() keeps the traffic and completes the run.
// Never in the way: with the store off, every call does nothing.

#include <QElapsedTimer>
#include <optional>

#include "records/store/RecordStore.h"
#include "records/store/CappedTraffic.h"

namespace pb::records {

class RunRecorder {
public:
    explicit RunRecorder(RecordStore& store) : store_(store) {}

    void begin(const RunStart& start);
    void frame(const TrafficFrame& frame);
    void progress(const QJsonObject& details);
    void end(const RunEnd& end);

    qint64 runId() const { return runId_; }
    // The store's problem the first time it is seen (to show once in the status line).
    std::optional<RecordsStatus> takeNewProblem();

private:
    void keepTraffic();

    RecordStore& store_;
    qint64 runId_ = 0;
    CappedTraffic traffic_;
    QElapsedTimer sinceTrafficKept_;
    bool problemShown_ = false;
};

}  // namespace pb::records
