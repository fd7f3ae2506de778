#include "recipes/Recipe.h"

#include <QDir>
#include <QFileInfo>
#include <array>

namespace pb {
namespace {

// A kind's name in recipe files, and the name the records and the command line also
// know its test by (catalogue/TestCatalogue.h), accepted in its place.
struct KindName {
    StepKind kind;
    const char* name;
    const char* testName;
};

constexpr std::array<KindName, 10> kKindNames{{
    {StepKind::Identify, "identify", "connect"},
    {StepKind::SetDate, "set-date", "set-date"},
    {StepKind::Alarm, "alarm", "alarm"},
    {StepKind::FactoryInitial, "factory-initial", "factory-initial"},
    {StepKind::Reboot, "reboot", "reboot"},
    {StepKind::Dido, "dido", "dido"},
    {StepKind::Upgrade, "upgrade", "firmware-upgrade"},
    {StepKind::Poll, "poll", "polling"},
    {StepKind::Send, "send", "controller-command"},
    {StepKind::Module, "module", "module-command"},
}};

}  // namespace

QString stepKindName(StepKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind) return QString::fromLatin1(k.name);
    return {};
}

std::optional<StepKind> stepKindFromName(const QString& name) {
    for (const KindName& k : kKindNames)
        if (name == QLatin1String(k.name) || name == QLatin1String(k.testName)) return k.kind;
    return std::nullopt;
}

QString Recipe::firmwarePath(const UpgradeStep& step) const {
    if (QFileInfo(step.file).isAbsolute() || sourcePath.isEmpty()) return step.file;
    return QFileInfo(sourcePath).dir().filePath(step.file);
}

}  // namespace pb
