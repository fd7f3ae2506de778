#pragma once
// The test-run bracket as every window view implements it: passed on to the window.
// Base is the interface a view serves (pb::TestRunView or one derived from it).

#include "app/TfrmModule.h"

template <typename Base>
class WindowRunViewOf : public Base {
public:
    explicit WindowRunViewOf(TfrmModule& window) : w_(window), u_(window.ui()) {}

    void setStatus(const QString& text) override { w_.setStatus(text); }
    void setLamp(pb::LampColour colour) override { w_.setLamp(colour); }
    void setBusy(bool on) override { w_.setBusy(on); }
    void setWaitCursor(bool on) override { w_.setWaitCursor(on); }
    void beep(int frequencyHz, int durationMs) override { w_.beep(frequencyHz, durationMs); }
    void processEvents() override { w_.processEvents(); }
    pb::LinkSettings readLinkSettings() override { return w_.readLinkSettings(); }
    int language() const override { return w_.language(); }

protected:
    TfrmModule& w_;
    Ui::TfrmModule& u_;
};
