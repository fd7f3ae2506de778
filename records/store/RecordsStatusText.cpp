#include "records/store/RecordsStatusText.h"

#include <QDir>
#include <QFileInfo>

#include "i18n/ChainTexts.h"
#include "i18n/RecordsTexts.h"
#include "records/store/ServerAddress.h"

namespace pb::records {

QString StatusText(const RecordsStatus& status, int language) {
    const auto off = [&](RecordText reason, const QString& arg = {}) {
        QString why = Text(reason, language);
        if (why.contains(QLatin1String("%1"))) why = why.arg(arg);
        return Text(RecordText::RecordsOff, language).arg(why);
    };
    const bool keptAside = !status.movedAsideTo.isEmpty();
    if (IsServerUrl(status.path) && !status.ok()) {
        // The server's trouble: the runs are still kept here, and sent later.
        const auto away = [&](RecordText reason, const QString& arg = {}) {
            QString why = Text(reason, language);
            if (why.contains(QLatin1String("%1"))) why = why.arg(arg);
            return Text(RecordText::ServerAway, language).arg(why);
        };
        switch (status.error) {
        case RecordsError::ServerUnreachable: return away(RecordText::ReasonServerUnreachable);
        case RecordsError::AuthFailed: return away(RecordText::ReasonAuthFailed);
        case RecordsError::NoDatabase: return away(RecordText::ReasonNoDatabase);
        case RecordsError::Reopened: return {};
        case RecordsError::NewerSchema: return away(RecordText::ReasonServerNewerSchema);
        case RecordsError::BadAddress: return away(RecordText::ReasonBadAddress, status.detail);
        case RecordsError::DriverMissing: return away(RecordText::ReasonServerDriverMissing);
        default: return away(RecordText::ReasonWriteFailed, status.detail);
        }
    }
    switch (status.error) {
    case RecordsError::None: return {};
    case RecordsError::DriverMissing: return off(RecordText::ReasonDriverMissing);
    case RecordsError::FolderNotWritable:
        return off(RecordText::ReasonFolderNotWritable,
                   QDir::toNativeSeparators(QFileInfo(status.path).absolutePath()));
    case RecordsError::DiskFull: return off(RecordText::ReasonDiskFull);
    case RecordsError::NewerSchema: return off(RecordText::ReasonNewerSchema);
    case RecordsError::NotAStore:
    case RecordsError::Damaged:
        if (keptAside)
            return Text(RecordText::KeptAsideDamaged, language)
                .arg(QDir::toNativeSeparators(status.movedAsideTo));
        return off(RecordText::ReasonWriteFailed, status.detail);
    case RecordsError::Foreign:
        if (keptAside)
            return Text(RecordText::KeptAsideForeign, language)
                .arg(QDir::toNativeSeparators(status.movedAsideTo));
        return off(RecordText::ReasonWriteFailed, status.detail);
    case RecordsError::WriteFailed:
    // Found only by a store that reads, never by the one the window records in.
    case RecordsError::Missing:
    case RecordsError::OlderSchema: return off(RecordText::ReasonWriteFailed, status.detail);
    case RecordsError::BadAddress:
    case RecordsError::ServerUnreachable:
    case RecordsError::AuthFailed:
    case RecordsError::NoDatabase: return off(RecordText::ReasonWriteFailed, status.detail);
    case RecordsError::Reopened:
        return Text(ChainLine::StoreReopened, language).arg(QDir::toNativeSeparators(status.path));
    }
    return {};
}

}  // namespace pb::records
