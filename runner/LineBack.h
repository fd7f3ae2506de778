#pragma once
// After an upgrade whose line went away or whose verify failed: the wait until the
// controller answers again on the unit's link, before the whole upgrade is tried again.
// A USB adapter pulled and plugged back may come back under another name: it is followed
// by its identity. Nothing is resumed: the next try starts from the beginning, since the
// loader may have erased the image.

#include <QList>
#include <QString>
#include <functional>

#include "catalogue/TestRequest.h"
#include "firmware/FirmwareUpgrade.h"
#include "link/SystemPorts.h"
#include "runner/HeadlessView.h"

namespace pb {

// Whether an upgrade that ended so is worth a fresh try once the line is back: it failed
// on the line or in its blocks (programming, verify, the loader), not by a refusal of
// the file or the model, and not by the operator's stop.
bool WorthAnotherUpgradeTry(const UpgradeResult& r);

struct LineBackWait {
    int withinS = 60;
    QString adapterId;  // the adapter the link had (Link::adapterId()); empty: the port's name
    std::function<QList<PortFacts>()> ports = SystemPorts;
    std::function<bool()> cancelled = [] { return false; };
};

// True once the controller answered (an await-answer run, kept as any run); the view's
// link settings then name the port it answered on.
bool AwaitLineBack(TestRig& rig, HeadlessView& view, Clock& clock, const LineBackWait& wait);

}  // namespace pb
