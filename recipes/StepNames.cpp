#include "recipes/StepNames.h"

#include <optional>

#include "i18n/StationTexts.h"

namespace pb {

static_assert(size_t(StepKindText::Module) == size_t(StepKind::Module),
              "one name per kind of step, in the same order");

QString StepName(const RecipeStep& step, int language) {
    if (!step.label.trimmed().isEmpty()) return step.label;
    return Text(StepKindText(step.kind), language);
}

QString KeptStepLabel(const RecipeStep& step) {
    return step.label.isEmpty() ? stepKindName(step.kind) : step.label;
}

QString ShownStepLabel(const QString& kind, const QString& label, int language) {
    const std::optional<StepKind> k = stepKindFromName(kind);
    if (language <= 0 || label != kind || !k) return label;
    RecipeStep step;
    step.kind = *k;
    return StepName(step, language);
}

}  // namespace pb
