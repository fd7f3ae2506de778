#include "catalogue/StepNames.h"

#include <optional>

#include "catalogue/TestCatalogue.h"

namespace pb {

QString StepName(const RecipeStep& step, int language) {
    if (!step.label.trimmed().isEmpty()) return step.label;
    return CatalogueEntry(step.kind).nameIn(language);
}

QString KeptStepLabel(const RecipeStep& step) {
    return step.label.isEmpty() ? CommandName(step.kind) : step.label;
}

QString ShownStepLabel(const QString& kind, const QString& label, int language) {
    // A label that is its kind's own name is the test's: its one name, in every language.
    const std::optional<TestId> k = StandaloneTest(kind);
    if (label != kind || !k) return label;
    return CatalogueEntry(*k).nameIn(language);
}

}  // namespace pb
