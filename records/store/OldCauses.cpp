#include "records/store/OldCauses.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include "records/store/EvidenceColumns.h"
#include "records/store/FigureRollup.h"

namespace pb::records {
namespace {

// An old reason's name and its facts, by the names the ending causes had then.
struct OldName {
    const char* name;
    CauseCode code;
};
constexpr OldName kOldNames[] = {
    {"line-went-away-after-cycles", CauseCode::LineLost}, {"line-went-away", CauseCode::LineLost},
    {"no-reply", CauseCode::NoReply}, {"bad-checksum", CauseCode::BadChecksum},
    {"unexpected-reply", CauseCode::BadReply}, {"command-too-long", CauseCode::CommandTooLong},
    {"command-not-ascii", CauseCode::CommandNotAscii}, {"not-sent", CauseCode::NotSent},
    {"no-controller", CauseCode::NoController}, {"model-unknown", CauseCode::ModelUnknown},
    {"bad-record", CauseCode::BadRecord}, {"no-file-chosen", CauseCode::FileNotChosen},
    {"no-such-file", CauseCode::FileMissing}, {"file-unreadable", CauseCode::FileUnreadable},
    {"file-too-short", CauseCode::FileTooShort}, {"not-a-firmware-file", CauseCode::FileNotFirmware},
    {"file-for-other-model", CauseCode::FileForOtherModel}, {"not-identified", CauseCode::NotIdentified},
    {"no-loader", CauseCode::NoLoader}, {"loader-not-entered", CauseCode::LoaderNotEntered},
    {"loader-not-answering", CauseCode::LoaderNotAnswering}, {"flash-not-erased", CauseCode::FlashNotErased},
    {"erase-failed", CauseCode::EraseFailed}, {"block-not-programmed", CauseCode::NotProgrammed},
    {"block-not-read-back", CauseCode::NotReadBack}, {"block-differs", CauseCode::VerifyFailed},
};

Cause FromOldReason(const QJsonObject& reason) {
    const QString name = reason.value(QStringLiteral("cause")).toString();
    for (const OldName& o : kOldNames) {
        if (name != QLatin1String(o.name)) continue;
        const auto fact = [&](const char* key) { return reason.value(QLatin1String(key)).toVariant(); };
        switch (o.code) {
            case CauseCode::LineLost:
                return Cause::of(o.code, {0, fact("command")});
            case CauseCode::NoReply:
            case CauseCode::BadChecksum:
            case CauseCode::BadReply:
            case CauseCode::NotSent:
                return Cause::of(o.code, {fact("command"), 0});
            case CauseCode::NoController:
                return Cause::of(o.code, {fact("id")});
            case CauseCode::FileMissing:
            case CauseCode::FileUnreadable:
            case CauseCode::FileTooShort:
                return Cause::of(o.code, {fact("path")});
            case CauseCode::FileForOtherModel:
                return Cause::of(o.code, {fact("fileModel"), fact("controllerModel")});
            case CauseCode::NoLoader:
                return Cause::of(o.code, {fact("modelKind")});
            case CauseCode::EraseFailed:
            case CauseCode::NotProgrammed:
            case CauseCode::NotReadBack:
            case CauseCode::VerifyFailed:
                return Cause::of(o.code, {fact("block").toInt() + 1});  // blocks were counted from 0
            default:
                return Cause::of(o.code);
        }
    }
    return Cause::of(CauseCode::Unknown, {name});
}

// The English words a unit test or step kept, as the step's verdicts worded them.
struct OldWords {
    const char* pattern;
    CauseCode code;
};
constexpr OldWords kOldWords[] = {
    {R"(^Model kind (\d+), expected (.+)$)", CauseCode::ModelKindMismatch},
    {R"(^Model (.+), expected (.+)$)", CauseCode::ModelMismatch},
    {R"(^Cannot read the version '(.*)'$)", CauseCode::VersionUnreadable},
    {R"(^Version (.+) is outside (.+)$)", CauseCode::VersionOutOfRange},
    {R"(^Serial number (.*) does not match the scanned (.*)$)", CauseCode::SerialMismatch},
    {R"(^Cycle (\d+), outputs (\S+): inputs (\S*), expected (\S+)$)", CauseCode::InputMismatch},
    {R"(^Cycle (\d+): input (\d+) was not read$)", CauseCode::InputNotRead},
    {R"(^No reply to (\S+) in \d+ of \d+ reads$)", CauseCode::NoReply},
    {R"(^Reply '(.*)' does not match (.+)$)", CauseCode::ReplyMismatch},
    {R"(^(\d+) records, expected at least (\d+)$)", CauseCode::TooFewRecords},
    {R"(^(\d+) records, expected at most (\d+)$)", CauseCode::TooManyRecords},
    {R"(^Firmware file has SHA-256 ([0-9a-fA-F]+), not the one in the recipe$)", CauseCode::FileHashMismatch},
    {R"(^Cannot read the firmware file (.+)$)", CauseCode::FileUnreadable},
    {R"(^After the upgrade the version is (.+), outside (.+)$)", CauseCode::VersionAfterUpgrade},
    {R"(^No answer (\d+) s after the reboot$)", CauseCode::NotBackAfterRestart},
    {R"(^The link could not be opened: (.*)$)", CauseCode::LinkOpenFailed},
    {R"(^No controller answered at ID (\S+)$)", CauseCode::NoController},
    {R"(^The firmware file holds no image after its header)", CauseCode::FileNoImage},
    {R"(^The firmware image makes (\d+) blocks; this controller reads at most (\d+)$)", CauseCode::FileTooLarge},
    {R"(^Stopped by the operator$)", CauseCode::Interrupted},
    {R"(^No reply$)", CauseCode::NoReply},
    // The reasons a failed command, refused file or failed flash named after its words.
    {R"(the line went away after \d+ cycles$)", CauseCode::LineLost},
    {R"(the line went away at (\S+)$)", CauseCode::LineLost},
    {R"(no reply to (\S+)$)", CauseCode::NoReply},
    {R"(the reply to (\S+) failed its checksum$)", CauseCode::BadChecksum},
    {R"(unexpected reply to (\S+)$)", CauseCode::BadReply},
    {R"(the file is for (.+), the controller is (.+)$)", CauseCode::FileForOtherModel},
    {R"(model kind (\d+) has no loader$)", CauseCode::NoLoader},
    {R"(block (\d+) was not programmed$)", CauseCode::NotProgrammed},
    {R"(block (\d+) was not erased$)", CauseCode::EraseFailed},
    {R"(block (\d+) could not be read back$)", CauseCode::NotReadBack},
    {R"(block (\d+) differs when read back$)", CauseCode::VerifyFailed},
};

Cause FromOldWords(const QString& text) {
    for (const OldWords& w : kOldWords) {
        const QRegularExpressionMatch m = QRegularExpression(QLatin1String(w.pattern)).match(text.trimmed());
        if (!m.hasMatch()) continue;
        QVariantList values;
        for (int i = 1; i <= m.lastCapturedIndex(); ++i) values << m.captured(i);
        switch (w.code) {
            case CauseCode::LineLost:
                return Cause::of(w.code, {0, values.value(0)});
            case CauseCode::BadReply:
                return Cause::of(w.code, {values.value(0), 0});
            case CauseCode::LinkOpenFailed:
                return Cause::of(w.code, {QStringLiteral("Other"), values.value(0)});
            case CauseCode::NotProgrammed:
            case CauseCode::EraseFailed:
            case CauseCode::NotReadBack:
            case CauseCode::VerifyFailed:
                return Cause::of(w.code, {values.value(0).toInt() + 1});
            case CauseCode::InputMismatch: {
                const QString got = values.value(2).toString(), want = values.value(3).toString();
                int input = 0;
                for (int i = 0; i < want.size() && !input; ++i)
                    if (want[i] != u'x' && (i >= got.size() || got[i] != want[i])) input = i + 1;
                return Cause::of(w.code, values << input);
            }
            default:
                return Cause::of(w.code, values);
        }
    }
    return Cause::of(CauseCode::Unknown, {text});
}

bool Exec(QSqlQuery& q, QString* error) {
    if (q.exec()) return true;
    *error = q.lastError().text();
    return false;
}

}  // namespace

Cause OldRunCause(const QString& outcome, const QJsonObject& details, const QString& statusText) {
    if (outcome == QLatin1String("ok")) return {};
    if (outcome == QLatin1String("interrupted")) return Cause::of(CauseCode::Interrupted);
    const QJsonObject reason = details.value(QStringLiteral("reason")).toObject();
    if (!reason.isEmpty()) return FromOldReason(reason);
    if (!details.value(QStringLiteral("openError")).toString().isEmpty())
        return Cause::of(CauseCode::LinkOpenFailed,
                         {details.value(QStringLiteral("openError")).toString(), details.value(QStringLiteral("openDetail")).toString()});
    return Cause::of(CauseCode::Unknown, {statusText});
}

Cause OldStepCause(const QString& verdict, const QString& reasonText) {
    if (verdict == QLatin1String("pass")) return {};
    if (verdict == QLatin1String("interrupted")) return Cause::of(CauseCode::Interrupted);
    return FromOldWords(reasonText);
}

bool FillOldCauses(QSqlDatabase& db, QString* error) {
    QSqlQuery read(db), write(db);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT id, outcome, details, status_text FROM runs WHERE outcome <> 'running'")))
        return *error = read.lastError().text(), false;
    write.prepare(QStringLiteral("UPDATE runs SET cause_code = ?, cause_values = ? WHERE id = ?"));
    while (read.next()) {
        const Cause c = OldRunCause(read.value(1).toString(),
                                    QJsonDocument::fromJson(read.value(2).toString().toUtf8()).object(),
                                    read.value(3).toString());
        write.addBindValue(CauseCodeColumn(c));
        write.addBindValue(CauseValuesColumn(c));
        write.addBindValue(read.value(0));
        if (!Exec(write, error)) return false;
    }
    for (const char* table : {"recipe_runs", "recipe_steps"}) {
        const bool steps = qstrcmp(table, "recipe_steps") == 0;
        const QString key = steps ? QStringLiteral("recipe_run_id, step_index") : QStringLiteral("id");
        if (!read.exec(QStringLiteral("SELECT %1, verdict, reason_text FROM %2 WHERE verdict NOT IN ('running', 'not-run')")
                           .arg(key, QLatin1String(table))))
            return *error = read.lastError().text(), false;
        write.prepare(QStringLiteral("UPDATE %1 SET cause_code = ?, cause_values = ? WHERE %2")
                          .arg(QLatin1String(table), steps ? QStringLiteral("recipe_run_id = ? AND step_index = ?")
                                                           : QStringLiteral("id = ?")));
        const int verdict = steps ? 2 : 1;
        while (read.next()) {
            const Cause c = OldStepCause(read.value(verdict).toString(), read.value(verdict + 1).toString());
            write.addBindValue(CauseCodeColumn(c));
            write.addBindValue(CauseValuesColumn(c));
            write.addBindValue(read.value(0));
            if (steps) write.addBindValue(read.value(1));
            if (!Exec(write, error)) return false;
        }
    }
    QSqlQuery q(db);
    for (const QString& sql : RebuildFailureHoursStatements())
        if (!q.exec(sql)) return *error = q.lastError().text(), false;
    return true;
}

}  // namespace pb::records
