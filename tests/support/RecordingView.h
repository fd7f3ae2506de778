#pragma once
// A headless window for the test-run frame: records what the window would show.

#include <QCoreApplication>
#include <QList>
#include <QStringList>

#include "catalogue/TestNames.h"
#include "procedures/TestRunView.h"

namespace pbtest {

// Records the frame's calls on top of any view interface derived from TestRunView.
template <typename View>
class RecordingViewOf : public View {
public:
    void setStatus(const QString& text) override {
        statuses.append(text);
        advice.clear();  // as the window's tool tip goes with a new status
    }
    void setStatusAdvice(const QString& text) override { advice = text; }
    void linkNote(const QString& port, const QString& text) override { linkNotes << port + u'|' + text; }
    void setLamp(pb::LampColour colour) override { lamps.append(colour); }
    void setBusy(bool on) override {
        busy = on;
        busyChanges.append(on);
    }
    void setWaitCursor(bool on) override { waitCursor = on; }
    void beep(int frequencyHz, int durationMs) override { beeps.append({frequencyHz, durationMs}); }
    void processEvents() override { QCoreApplication::processEvents(); }
    bool stopAsked() const override { return stopRequested; }
    pb::Language language() const override { return shownLanguage; }
    void setWindowEnabled(bool on) override {
        windowEnabled = on;
        log.append(on ? QStringLiteral("window on") : QStringLiteral("window off"));
    }
    void saveLinkSettings() override {
        ++linkSettingsSaves;
        log.append(QStringLiteral("save"));
    }
    void testStarted(pb::TestId test) override {
        ++testsStarted;
        log.append(QStringLiteral("started ") + pb::TestName(test));
    }
    void testEnded(pb::TestId test, pb::Outcome) override {
        ++testsEnded;
        log.append(QStringLiteral("ended ") + pb::TestName(test));
    }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    pb::LampColour lamp() const { return lamps.isEmpty() ? pb::LampColour::Red : lamps.last(); }
    int lastBeepHz() const { return beeps.isEmpty() ? 0 : beeps.last().first; }
    // Between a test's start and its end, as the window hears them.
    bool testRunning() const { return testsStarted > testsEnded; }

    pb::LinkSettings settings;  // what the tests hand the link (ProcedureContext::linkSettings)
    bool stopRequested = false;
    pb::Language shownLanguage = pb::Language::English;
    QStringList statuses;
    QString advice;  // beside the last status
    QStringList linkNotes;  // "port|note", as told
    QList<pb::LampColour> lamps;
    QList<bool> busyChanges;
    QList<QPair<int, int>> beeps;
    bool busy = false;
    bool waitCursor = false;
    bool windowEnabled = true;
    int linkSettingsSaves = 0;
    int testsStarted = 0;
    int testsEnded = 0;
    QStringList log;  // the order of window changes that matter
};

using RecordingView = RecordingViewOf<pb::TestRunView>;

}  // namespace pbtest
