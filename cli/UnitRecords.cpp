#include "cli/UnitRecords.h"

#include <QMutex>

#include "link/Link.h"
#include "records/store/RecordStore.h"
#include "records/store/RunRecordsObserver.h"

namespace cli {
namespace {

QString problemText(const pb::records::RecordsStatus& s) {
    QString text =
        QStringLiteral("unit records: %1 (%2)").arg(s.path, pb::records::ErrorName(s.error));
    if (!s.detail.isEmpty()) text += QStringLiteral(": ") + s.detail;
    return text;
}

}  // namespace

UnitRecords::UnitRecords(const CommandJob& job) {
    if (!job.keepRecords) return;
    store_ = std::make_unique<pb::records::RecordStore>();
    // With a shared server every run is queued here first: a test never waits on it.
    store_->setOutbox(!job.recordsUrl.isEmpty());
    const QString path =
        job.recordsPath.isEmpty() ? pb::records::RecordStore::DefaultPath() : job.recordsPath;
    // The units open the store one at a time: a file to be set aside is set aside once,
    // by the first, and the others open the new one it made.
    static QMutex opening;
    const pb::records::RecordsStatus status = [&] {
        const QMutexLocker lock(&opening);
        return store_->openSqlite(path);
    }();
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
    observer_ = std::make_unique<pb::records::RunRecordsObserver>(*store_);
    observer_->setOperator(job.operatorName);
    if (!job.station.isEmpty()) observer_->setStation(job.station);
}

UnitRecords::~UnitRecords() = default;

pb::RunObserver* UnitRecords::observer() const {
    return observer_.get();
}

qint64 UnitRecords::lastRunId() const {
    return observer_ ? observer_->lastRunId() : 0;
}

void UnitRecords::follow(pb::Link& link) {
    if (observer_)
        QObject::connect(&link, &pb::Link::traffic, observer_.get(),
                         &pb::records::RunRecordsObserver::takeTraffic);
}

QString UnitRecords::takeWarning() {
    if (warning_.isEmpty() && observer_)
        if (const auto problem = observer_->takeNewProblem())
            warning_ = problemText(*problem) + QStringLiteral("; later runs are not kept");
    return std::exchange(warning_, QString());
}

}  // namespace cli
