#pragma once
// The counts of a station's shift: units passed and failed, and the first-pass yield
// (the share of serials whose first run of the shift passed). A serial that failed and
// then passed counts once as failed and once as passed, and not as a first pass.

#include <QSet>
#include <QString>
#include <optional>

namespace pb {

class ShiftCounts {
public:
    // One finished run of the unit with this serial (as scanned, spaces trimmed).
    void add(const QString& serial, bool passed);
    void reset() { *this = ShiftCounts{}; }

    int passed() const { return passed_; }
    int failed() const { return failed_; }
    // Serials tested at least once, and those whose first run passed.
    int units() const { return int(seen_.size()); }
    int firstPassUnits() const { return firstPass_; }
    // firstPassUnits / units in percent; empty before the first run.
    std::optional<double> firstPassYield() const;

private:
    int passed_ = 0;
    int failed_ = 0;
    int firstPass_ = 0;
    QSet<QString> seen_;
};

}  // namespace pb
