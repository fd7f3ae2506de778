#pragma once
// The bracket around every test: open the link and show that a test runs; at the end
// report the outcome (status line, lamp, beep), close the link and give the window back.

#include <QString>

#include "link/Link.h"
#include "link/LinkSettings.h"

namespace pb {

enum class LampColour { Red, Yellow };

// The part of the window the bracket needs. The window implements it; tests use a
// recording implementation.
class TestRunView {
public:
    virtual ~TestRunView() = default;
    virtual void setStatus(const QString& text) = 0;
    virtual void setLamp(LampColour colour) = 0;
    // Busy: lamp blinking, window disabled.
    virtual void setBusy(bool on) = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void beep(int frequencyHz, int durationMs) = 0;
    virtual void processEvents() = 0;
    // The link settings of the active page of the link selector.
    virtual LinkSettings readLinkSettings() = 0;
    // 0 English, 1 Simplified Chinese, 2 Traditional Chinese.
    virtual int language() const = 0;
};

constexpr int kHighBeepHz = 1000;
constexpr int kLowBeepHz = 300;
constexpr int kBeepMs = 300;

class TestRun {
public:
    TestRun(Link& link, TestRunView& view) : link_(link), view_(view) {}

    // Shows that a test runs and opens the link; the result says why an open failed.
    OpenResult BeginTestRun();
    void EndTestRunOpenFailed();
    void EndTestRunOk();
    void EndTestRunError();

    // A message of the table in the window's current language.
    QString Msg(int id) const;

    Link& link() { return link_; }
    TestRunView& view() { return view_; }

private:
    void giveWindowBack();

    Link& link_;
    TestRunView& view_;
};

}  // namespace pb
