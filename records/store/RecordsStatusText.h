#pragma once
// The one line the status bar shows when the records are off, or when a damaged or
// foreign file was kept aside, in the current language.

#include <QString>

#include "records/store/RecordsError.h"

namespace pb::records {

// Empty when there is nothing to say.
QString StatusText(const RecordsStatus& status, int language);

}  // namespace pb::records
