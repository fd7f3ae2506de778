#include "recipes/Recipe.h"

#include <QDir>
#include <QFileInfo>

namespace pb {

QString Recipe::firmwarePath(const UpgradeParams& upgrade) const {
    if (QFileInfo(upgrade.file).isAbsolute() || sourcePath.isEmpty()) return upgrade.file;
    return QFileInfo(sourcePath).dir().filePath(upgrade.file);
}

Recipe Recipe::ofOne(TestId test, const TestParams& params, int retries) {
    Recipe plan;
    RecipeStep step;
    step.kind = test;
    step.params = params;
    step.retries = retries;
    plan.steps << step;
    return plan;
}

}  // namespace pb
