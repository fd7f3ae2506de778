#pragma once
// btnPooling: reads the controller's event store record by record and shows each one.
// Like the DI/DO test, the first click starts it and returns when it has ended, and a
// click while it runs stops it after the record in hand.
//
// The exchange (the reply data starts after the ID and the two-letter mnemonic):
//   "IE"  the store's state; the data begins with the controller's clock
//   "IB"  back to the oldest record; answers how many records there are from there (4)
//   "QI"  the record at the read pointer (33 characters), or no data past the last one
//   "PI"  one record on; answers how many records are left (4)
// Reading never deletes a record, so a second run shows the same records again.

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

// How long each record stays in the panels before the next one is read.
constexpr int kPollingRecordPauseMs = 500;

// The records read come back in the result, each as shown. Without `pauseBetweenRecords`
// the records follow each other at once (a station that shows none of them).
PollingResult PollingTestClick(ProcedureContext& ctx, bool pauseBetweenRecords = true);

}  // namespace pb
