#include "cli/UnitRecords.h"

#include "records/store/RecordStore.h"

namespace cli {
namespace {

QString problemText(const pb::records::RecordsStatus& s) {
    QString text = QStringLiteral("unit records: %1 (%2)").arg(s.path, pb::records::ErrorName(s.error));
    if (!s.detail.isEmpty()) text += QStringLiteral(": ") + s.detail;
    return text;
}

}  // namespace

UnitRecords::UnitRecords(const CommandJob& job) {
    if (!job.keepRecords) return;
    store_ = std::make_unique<pb::records::RecordStore>();
    // With a shared server every run is queued here first: a test never waits on it.
    store_->setOutbox(!job.recordsUrl.isEmpty());
    // With an events broker every unit test that ends waits here until it took it.
    store_->setEventOutbox(!job.eventsUrl.isEmpty());
    const QString path = job.recordsPath.isEmpty() ? pb::records::RecordStore::DefaultPath() : job.recordsPath;
    const pb::records::RecordsStatus status = store_->openSqlite(path);
    if (!store_->isOpen()) {
        warning_ = problemText(status) + QStringLiteral("; the run goes on without them");
        store_.reset();
        return;
    }
    // Recording alone mends: said once, with what the file was and where it went.
    if (!status.movedAsideTo.isEmpty()) {
        using pb::records::RecordsError;
        const QString was = status.error == RecordsError::Foreign     ? QStringLiteral("another program's database")
                            : status.error == RecordsError::NotAStore ? QStringLiteral("not a records file")
                                                                      : QStringLiteral("a damaged records file");
        warning_ = QStringLiteral("unit records: %1 was %2; kept aside as %3, and a new records file made")
                       .arg(path, was, status.movedAsideTo);
    }
}

UnitRecords::~UnitRecords() = default;

QString UnitRecords::takeWarning() {
    if (warning_.isEmpty() && store_ && !store_->status().ok() && !failedTold_) {
        failedTold_ = true;
        warning_ = problemText(store_->status()) + QStringLiteral("; later runs are not kept");
    }
    return std::exchange(warning_, QString());
}

}  // namespace cli
