#include "recipes/Recipe.h"

#include <QDir>
#include <QFileInfo>

namespace pb {

QString Recipe::firmwarePath(const UpgradeStep& step) const {
    if (QFileInfo(step.file).isAbsolute() || sourcePath.isEmpty()) return step.file;
    return QFileInfo(sourcePath).dir().filePath(step.file);
}

}  // namespace pb
