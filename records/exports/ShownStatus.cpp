#include "records/exports/ShownStatus.h"

#include "i18n/CauseTexts.h"
#include "i18n/EndingTexts.h"
#include "i18n/MeasurementTexts.h"
#include "i18n/RecordsTexts.h"

namespace pb::records {

QString ShownCause(const Cause& cause, int language) {
    if (cause.code == CauseCode::Unknown) return ShownText(cause.text(QStringLiteral("text")), language);
    if (cause.code == CauseCode::Ok) return {};
    return CauseText(cause, language);
}

QString ShownRunStatus(Outcome outcome, const Cause& cause, const QString& statusText, int language) {
    if (outcome == Outcome::Running || cause.code == CauseCode::Unknown) return ShownText(statusText, language);
    const MsgId ending = outcome == Outcome::Error        ? ErrorEnding(cause)
                         : outcome == Outcome::OpenFailed ? MsgId::ConnectDeviceError
                                                          : MsgId::CommandOk;
    return EndingStatus(ending, cause, language);
}

QString ShownRunStatus(const RunRow& run, int language) {
    return ShownRunStatus(run.outcome, run.cause, run.statusText, language);
}

QString ShownMeasured(const RecipeStepRow& step, int language) {
    if (!step.measurements.isEmpty()) return MeasurementsText(step.measurements, language);
    return ShownText(step.measured, language);
}

QString ShownStepCause(const RecipeStepRow& step, int language) {
    if (step.verdict == QLatin1String("not-run") || step.verdict == QLatin1String("running")) return {};
    return ShownCause(step.cause, language);
}

}  // namespace pb::records
