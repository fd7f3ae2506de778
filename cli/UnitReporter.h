#pragma once
// Hands a unit's events to the sink, stamped with the unit and the time since it started:
// shared by the single commands and the recipe runs.

#include <QElapsedTimer>
#include <QString>

#include "cli/UnitRun.h"

namespace cli {

class UnitReporter {
public:
    UnitReporter(int unit, const EventSink& sink) : unit_(unit), sink_(sink) { since_.start(); }

    void emitEvent(UnitEvent e) {
        e.unit = unit_;
        e.ms = since_.elapsed();
        sink_(e);
    }
    void step(const QString& text) {
        UnitEvent e;
        e.kind = statusesLive_ ? UnitEvent::Kind::Live : UnitEvent::Kind::Step;
        e.text = text;
        emitEvent(e);
    }
    // `of`: the recipe step the progress belongs to, for the terminal's bar.
    void progress(const QString& phase, int done, int total, const QString& of = {}) {
        UnitEvent e;
        e.kind = UnitEvent::Kind::Progress;
        e.phase = phase;
        e.done = done;
        e.total = total;
        e.text = of;
        emitEvent(e);
    }
    void live(const QString& text) {
        UnitEvent e;
        e.kind = UnitEvent::Kind::Live;
        e.text = text;
        emitEvent(e);
    }
    // While on, the steps go to the live line: the later seconds of a countdown, whose
    // first figure was a line like any status.
    void setStepsLive(bool on) { statusesLive_ = on; }
    qint64 elapsed() const { return since_.elapsed(); }

private:
    int unit_;
    const EventSink& sink_;
    QElapsedTimer since_;
    bool statusesLive_ = false;
};

}  // namespace cli
