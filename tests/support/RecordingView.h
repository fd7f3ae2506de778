#pragma once
// A headless window for the test-run bracket: records what the window would show.

#include <QCoreApplication>
#include <QList>
#include <QStringList>

#include "link/TestRun.h"

namespace pbtest {

// Records the bracket's calls on top of any view interface derived from TestRunView.
template <typename View>
class RecordingViewOf : public View {
public:
    void setStatus(const QString& text) override { statuses.append(text); }
    void setLamp(pb::LampColour colour) override { lamps.append(colour); }
    void setBusy(bool on) override {
        busy = on;
        busyChanges.append(on);
    }
    void setWaitCursor(bool on) override { waitCursor = on; }
    void beep(int frequencyHz, int durationMs) override { beeps.append({frequencyHz, durationMs}); }
    void processEvents() override { QCoreApplication::processEvents(); }
    pb::LinkSettings readLinkSettings() override { return settings; }
    int language() const override { return languageIndex; }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    pb::LampColour lamp() const { return lamps.isEmpty() ? pb::LampColour::Red : lamps.last(); }
    int lastBeepHz() const { return beeps.isEmpty() ? 0 : beeps.last().first; }

    pb::LinkSettings settings;
    int languageIndex = 0;
    QStringList statuses;
    QList<pb::LampColour> lamps;
    QList<bool> busyChanges;
    QList<QPair<int, int>> beeps;
    bool busy = false;
    bool waitCursor = false;
};

using RecordingView = RecordingViewOf<pb::TestRunView>;

}  // namespace pbtest
