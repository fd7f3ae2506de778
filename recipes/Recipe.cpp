#include "recipes/Recipe.h"

#include <QDir>
#include <QFileInfo>
#include <array>

namespace pb {
namespace {

struct KindName {
    StepKind kind;
    const char* name;
};

constexpr std::array<KindName, 10> kKindNames{{
    {StepKind::Identify, "identify"},
    {StepKind::SetDate, "set-date"},
    {StepKind::Alarm, "alarm"},
    {StepKind::FactoryInitial, "factory-initial"},
    {StepKind::Reboot, "reboot"},
    {StepKind::Dido, "dido"},
    {StepKind::Upgrade, "upgrade"},
    {StepKind::Poll, "poll"},
    {StepKind::Send, "send"},
    {StepKind::Module, "module"},
}};

}  // namespace

QString stepKindName(StepKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind) return QString::fromLatin1(k.name);
    return {};
}

std::optional<StepKind> stepKindFromName(const QString& name) {
    for (const KindName& k : kKindNames)
        if (name == QLatin1String(k.name)) return k.kind;
    return std::nullopt;
}

QString Recipe::firmwarePath(const UpgradeStep& step) const {
    if (QFileInfo(step.file).isAbsolute() || sourcePath.isEmpty()) return step.file;
    return QFileInfo(sourcePath).dir().filePath(step.file);
}

}  // namespace pb
