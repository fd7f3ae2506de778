#include "recipes/Recipe.h"

#include <QDir>
#include <QFileInfo>

namespace pb {

void Recipe::trustFirmware(const QStringList& keyFiles, bool signedOnly) {
    for (RecipeStep& step : steps) {
        if (step.kind != TestId::FirmwareUpgrade) continue;
        step.params.upgrade.trustedKeys << keyFiles;
        step.params.upgrade.signedOnly = step.params.upgrade.signedOnly || signedOnly;
    }
}

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
