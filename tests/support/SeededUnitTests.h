#pragma once
// Unit tests (recipe runs of three steps) written straight into a store, for the tests of
// the figures read back from them.

#include <QString>

#include "records/store/RecordStore.h"

namespace pbtest {

struct SeededTest {
    QString serial;
    qint64 ms = 0;
    QString verdict;  // "pass", "fail", "interrupted"
    QString station = QStringLiteral("line-1");
    QString fixture = {}, socket = {};
    int failingStep = -1;
    pb::Cause cause = {};  // the failing step's
    qint64 tookMs = 1000;
};

inline void WriteUnitTest(pb::records::RecordStore& store, const SeededTest& w) {
    using namespace pb::records;
    RecipeRunStart start;
    start.recipeName = QStringLiteral("KV410");
    start.recipeHash = QStringLiteral("ab12");
    start.scannedSerial = w.serial;
    start.linkText = QStringLiteral("127.0.0.1:4001");
    start.station = w.station;
    start.startMs = w.ms;
    start.fixture = w.fixture;
    start.socket = w.socket;
    start.steps = {{.index = 0, .kind = "identify", .label = "identify"},
                   {.index = 1, .kind = "dido", .label = "DI/DO loop"},
                   {.index = 2, .kind = "upgrade"}};
    const qint64 id = store.recipeWriter().beginRecipeRun(start);
    RecipeRunEnd end;
    end.endMs = w.ms + w.tookMs;
    end.verdict = w.verdict;
    end.failingStep = w.failingStep;
    end.cause = w.cause;
    end.steps = start.steps;
    for (RecipeStepRow& s : end.steps) {
        s.verdict = w.failingStep < 0 || s.index < w.failingStep ? "pass"
                    : s.index == w.failingStep                   ? "fail"
                                                                 : "not-run";
        if (s.index == w.failingStep) s.cause = w.cause;
    }
    end.identity = UnitIdentity{w.serial, 3, "KV410", "0470", "0001"};
    store.recipeWriter().endRecipeRun(id, end);
}

}  // namespace pbtest
