#pragma once
// One unit's records: its own store connection (Qt SQL connections belong to the thread
// that opened them) and the observer that keeps each run. Made in the unit's thread.
// Never fails the command: a store that cannot be opened or written gives a warning.

#include <QString>
#include <memory>

#include "cli/UnitJob.h"

namespace pb {
class Link;
class RunObserver;
namespace records {
class RecordStore;
class RunRecordsObserver;
}  // namespace records
}  // namespace pb

namespace cli {

class UnitRecords {
public:
    explicit UnitRecords(const CommandJob& job);
    ~UnitRecords();
    UnitRecords(const UnitRecords&) = delete;
    UnitRecords& operator=(const UnitRecords&) = delete;

    // Null when no records are kept (--no-records, or the store is off).
    pb::RunObserver* observer() const;
    // The store, for a recipe run's records; null when none are kept.
    pb::records::RecordStore* store() const { return observer_ ? store_.get() : nullptr; }
    // The link's frames go with the run being kept.
    void follow(pb::Link& link);
    // The run kept last (the command's own, after its connect); 0 when none.
    qint64 lastRunId() const;
    // What went wrong with the store since last asked, once; empty when nothing.
    QString takeWarning();

private:
    std::unique_ptr<pb::records::RecordStore> store_;
    std::unique_ptr<pb::records::RunRecordsObserver> observer_;
    QString warning_;
};

}  // namespace cli
