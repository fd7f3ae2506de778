#pragma once
// Hands a unit's events to the sink, stamped with the unit and the time since it started:
// shared by the single commands and the recipe runs.

#include <QElapsedTimer>
#include <QString>

#include "cli/HeadlessRun.h"

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
        e.kind = UnitEvent::Kind::Step;
        e.text = text;
        emitEvent(e);
    }
    void progress(const QString& phase, int done, int total) {
        UnitEvent e;
        e.kind = UnitEvent::Kind::Progress;
        e.phase = phase;
        e.done = done;
        e.total = total;
        emitEvent(e);
    }
    qint64 elapsed() const { return since_.elapsed(); }

private:
    int unit_;
    const EventSink& sink_;
    QElapsedTimer since_;
};

}  // namespace cli
