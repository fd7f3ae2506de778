#pragma once
// Keeps every run report and identified controller, as a run database would get them.

#include <QList>

#include "procedures/RunObserver.h"

namespace pbtest {

class RecordingRunObserver : public pb::RunObserver {
public:
    void runStarted(const pb::RunStart& start) override { starts.append(start); }
    void runEnded(const pb::RunReport& report) override { reports.append(report); }
    void controllerIdentified(const pb::ControllerIdentity& identity) override {
        identities.append(identity);
    }

    const pb::RunReport& last() const { return reports.last(); }

    QList<pb::RunStart> starts;
    QList<pb::RunReport> reports;
    QList<pb::ControllerIdentity> identities;
};

}  // namespace pbtest
