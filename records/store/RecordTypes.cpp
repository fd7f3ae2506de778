#include "records/store/RecordTypes.h"

#include "records/store/RecordsError.h"

namespace pb::records {

QString OutcomeCode(Outcome outcome) {
    switch (outcome) {
    case Outcome::Running: return QStringLiteral("running");
    case Outcome::Ok: return QStringLiteral("ok");
    case Outcome::Error: return QStringLiteral("error");
    case Outcome::OpenFailed: return QStringLiteral("open-failed");
    case Outcome::Interrupted: return QStringLiteral("interrupted");
    case Outcome::Watched: return QStringLiteral("watched");
    }
    return {};
}

std::optional<Outcome> OutcomeFromCode(const QString& code) {
    for (Outcome o : {Outcome::Running, Outcome::Ok, Outcome::Error, Outcome::OpenFailed,
                      Outcome::Interrupted, Outcome::Watched})
        if (OutcomeCode(o) == code) return o;
    return std::nullopt;
}

Outcome RecipeOutcome(const QString& verdict) {
    if (verdict == QLatin1String("pass")) return Outcome::Ok;
    if (verdict == QLatin1String("running")) return Outcome::Running;
    if (verdict == QLatin1String("interrupted")) return Outcome::Interrupted;
    return Outcome::Error;
}

QStringList RecipeVerdictsOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok: return {QStringLiteral("pass")};
    case Outcome::Error: return {QStringLiteral("fail")};
    case Outcome::Running: return {QStringLiteral("running")};
    case Outcome::Interrupted: return {QStringLiteral("interrupted")};
    case Outcome::OpenFailed:
    case Outcome::Watched: break;
    }
    return {};
}

QString UnitKey(const UnitIdentity& identity, const QString& linkText) {
    if (identity.serial.isEmpty()) return QStringLiteral("link:") + linkText;
    if (identity.modelKind < 0) return QStringLiteral("serial:") + identity.serial;
    return QStringLiteral("unit:%1:%2").arg(identity.modelKind).arg(identity.serial);
}

QString DirectionCode(Direction direction) {
    switch (direction) {
    case Direction::Sent: return QStringLiteral("sent");
    case Direction::Received: return QStringLiteral("received");
    case Direction::Failed: return QStringLiteral("failed");
    }
    return {};
}

QString ErrorName(RecordsError error) {
    switch (error) {
    case RecordsError::None: return QStringLiteral("None");
    case RecordsError::DriverMissing: return QStringLiteral("DriverMissing");
    case RecordsError::FolderNotWritable: return QStringLiteral("FolderNotWritable");
    case RecordsError::DiskFull: return QStringLiteral("DiskFull");
    case RecordsError::Damaged: return QStringLiteral("Damaged");
    case RecordsError::Foreign: return QStringLiteral("Foreign");
    case RecordsError::NewerSchema: return QStringLiteral("NewerSchema");
    case RecordsError::Missing: return QStringLiteral("Missing");
    case RecordsError::NotAStore: return QStringLiteral("NotAStore");
    case RecordsError::OlderSchema: return QStringLiteral("OlderSchema");
    case RecordsError::WriteFailed: return QStringLiteral("WriteFailed");
    case RecordsError::BadAddress: return QStringLiteral("BadAddress");
    case RecordsError::ServerUnreachable: return QStringLiteral("ServerUnreachable");
    case RecordsError::AuthFailed: return QStringLiteral("AuthFailed");
    case RecordsError::NoDatabase: return QStringLiteral("NoDatabase");
    case RecordsError::Reopened: return QStringLiteral("Reopened");
    }
    return {};
}

}  // namespace pb::records
