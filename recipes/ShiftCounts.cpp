#include "recipes/ShiftCounts.h"

namespace pb {

void ShiftCounts::add(const QString& serial, bool passed) {
    (passed ? passed_ : failed_) += 1;
    const QString key = serial.trimmed();
    if (seen_.contains(key)) return;
    seen_.insert(key);
    if (passed) ++firstPass_;
}

std::optional<double> ShiftCounts::firstPassYield() const {
    if (seen_.isEmpty()) return std::nullopt;
    return 100.0 * firstPass_ / double(seen_.size());
}

}  // namespace pb
