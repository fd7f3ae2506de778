#include "link/TestRun.h"

#include "i18n/Messages.h"

namespace pb {

QString TestRun::Msg(int id) const { return pb::Msg(id, view_.language()); }

OpenResult TestRun::BeginTestRun() {
    view_.setWaitCursor(true);
    view_.processEvents();
    view_.setBusy(true);
    view_.setStatus(Msg(msg::ConnectingDevice));
    view_.processEvents();
    return link_.OpenLink(view_.readLinkSettings());
}

void TestRun::EndTestRunOpenFailed() {
    view_.setBusy(false);
    view_.setLamp(LampColour::Red);
    view_.setStatus(Msg(msg::ConnectDeviceError));
    view_.beep(kLowBeepHz, kBeepMs);
    giveWindowBack();
}

void TestRun::EndTestRunOk() {
    view_.setStatus(Msg(msg::CommandOk));
    view_.setBusy(false);
    view_.setLamp(LampColour::Yellow);
    view_.beep(kHighBeepHz, kBeepMs);
    link_.CloseLink();
    giveWindowBack();
}

void TestRun::EndTestRunError() {
    view_.setStatus(Msg(msg::CommandError));
    view_.setBusy(false);
    view_.setLamp(LampColour::Red);
    view_.beep(kLowBeepHz, kBeepMs);
    link_.CloseLink();
    giveWindowBack();
}

void TestRun::giveWindowBack() {
    // setBusy(false) has enabled the window already; the cursor follows.
    view_.setWaitCursor(false);
}

}  // namespace pb
