#pragma once
// The DI/DO test with set output patterns, for a fixture that wires outputs to inputs:
// each cycle applies every pattern in turn (every output set on or off as the pattern
// says, held until changed) and reads the inputs after each, then the closing command
// switches everything off. Unlike the DI/DO button's test it ends by itself.

#include <QList>
#include <QString>
#include <QStringList>

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

struct DidoPatternPlan {
    int cycles = 1;
    QStringList outputs;  // per pattern four '0'/'1', outputs 1-4
};

// The inputs read after one pattern: eight characters for inputs 1-8, '0'/'1' as read,
// '-' for an input the variant does not read (5 and 6 on the three-digit device), ""
// when the read failed.
struct DidoPatternReading {
    int cycle = 1;  // from 1
    int pattern = 0;
    QString inputs;
};

// What the run read, pattern by pattern, and whether the closing command went out.
struct DidoPatternResult : RunResult {
    QList<DidoPatternReading> readings;
    bool closingSent = false;
};

// Ok when every pattern was set and read and the line held; the readings say what was
// read (a cancel closes the link, and the test ends at its next exchange).
DidoPatternResult DidoPatternTest(ProcedureContext& ctx, const DidoPatternPlan& plan);

}  // namespace pb
