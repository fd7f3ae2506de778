#pragma once
// One unit's records: its own store connection (Qt SQL connections belong to the thread
// that opened them), made in the unit's thread; the runner keeps the runs in it. Never
// fails the command: a store that cannot be opened or written gives a warning.

#include <QString>
#include <memory>

#include "cli/UnitJob.h"

namespace pb::records {
class RecordStore;
}  // namespace pb::records

namespace cli {

class UnitRecords {
public:
    explicit UnitRecords(const CommandJob& job);
    ~UnitRecords();
    UnitRecords(const UnitRecords&) = delete;
    UnitRecords& operator=(const UnitRecords&) = delete;

    // The store the runs are kept in; null when none are kept (--no-records, or it is off).
    pb::records::RecordStore* store() const { return store_.get(); }
    // What went wrong with the store since last asked, once; empty when nothing.
    QString takeWarning();

private:
    std::unique_ptr<pb::records::RecordStore> store_;
    QString warning_;
    bool failedTold_ = false;
};

}  // namespace cli
