#pragma once
// The part of the window every test run uses: status line, busy lamp, cursor and beep;
// and the news that a test starts or ends, from which the window decides which pages and
// buttons stay in reach. A headless view implements the same. The link settings are not
// the view's: the front end hands them to the test (ProcedureContext::linkSettings).

#include <QString>

#include "i18n/Language.h"
#include "link/LinkSettings.h"
#include "procedures/TestId.h"

namespace pb {

enum class LampColour { Red, Yellow };

// Which ending a test showed: "Command ok.", "Command error!" or "Connect device error!".
enum class Outcome { Ok, Error, OpenFailed };

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
    virtual Language language() const = 0;

    // A view without a window or stored settings may leave the rest as they are.
    // The whole window, without touching the busy lamp (a test that waits for a cancel).
    virtual void setWindowEnabled(bool /*on*/) {}
    // The link just used works: keep its settings.
    virtual void saveLinkSettings() {}
    // The facts and the usual fix behind a status line (why a link would not open).
    virtual void setStatusAdvice(const QString& /*text*/) {}
    // What the link opened with and may cost the test, once per port: a USB-serial
    // adapter whose replies may wait longer than 1 ms in it (port: as the settings name it).
    virtual void linkNote(const QString& /*port*/, const QString& /*text*/) {}
    // The user asked the run in hand to stop (a cancel of the command line or the station,
    // not a continuous test's second click): what fails after it is the stop's doing.
    virtual bool stopAsked() const { return false; }
    // A test starts (before the link opens) and ends (after its ending was shown).
    virtual void testStarted(TestId /*test*/) {}
    virtual void testEnded(TestId /*test*/, Outcome /*outcome*/) {}
};

constexpr int kHighBeepHz = 1000;
constexpr int kLowBeepHz = 300;
constexpr int kBeepMs = 300;

}  // namespace pb
