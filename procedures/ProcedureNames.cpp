#include "procedures/ProcedureNames.h"

#include <iterator>

#include "i18n/RecordsTexts.h"
#include "procedures/TestId.h"

namespace pb {
namespace {

// In TestId order.
constexpr RecordText kProcedureTexts[] = {
    RecordText::ProcConnect, RecordText::ProcSetDate,           RecordText::ProcAlarm,
    RecordText::ProcFactory, RecordText::ProcReboot,            RecordText::ProcDido,
    RecordText::ProcPolling, RecordText::ProcControllerCommand, RecordText::ProcModuleCommand,
    RecordText::ProcFirmware, RecordText::ProcAwaitAnswer,
};
static_assert(std::size(kProcedureTexts) == size_t(TestId::AwaitAnswer) + 1);

}  // namespace

const QStringList& KnownProcedureIds() {
    static const QStringList ids = [] {
        QStringList names;
        for (size_t i = 0; i < std::size(kProcedureTexts); ++i) names << TestName(TestId(i));
        return names;
    }();
    return ids;
}

QString ProcedureName(const QString& procedureId, int language) {
    const qsizetype index = KnownProcedureIds().indexOf(procedureId);
    return index < 0 ? procedureId : Text(kProcedureTexts[index], language);
}

}  // namespace pb
