#include "evidence/Cause.h"

#include <array>

namespace pb {
namespace {

struct ValueRow {
    const char* name = nullptr;
    CauseValueKind kind = CauseValueKind::Text;
};

struct CauseRow {
    CauseCode code;
    const char* name;
    std::array<ValueRow, 5> values;
};

constexpr ValueRow N(const char* name) { return {name, CauseValueKind::Number}; }
constexpr ValueRow T(const char* name) { return {name, CauseValueKind::Text}; }

// clang-format off
constexpr CauseRow kCauses[] = {
    {CauseCode::Ok,                  "ok",                     {}},
    {CauseCode::UpgradeNotNeeded,    "upgrade-not-needed",     {T("version"), T("wanted")}},
    {CauseCode::BlocksLeftOut,       "blocks-left-out",        {N("left"), N("taken")}},
    {CauseCode::NothingProgrammed,   "nothing-programmed",     {}},
    {CauseCode::LinkOpenFailed,      "link-open-failed",       {T("kind"), T("detail")}},
    {CauseCode::LineLost,            "line-lost",              {N("exchanges"), T("command")}},
    {CauseCode::NoReply,             "no-reply",               {T("command")}},
    {CauseCode::BadChecksum,         "bad-checksum",           {T("command")}},
    {CauseCode::BadReply,            "bad-reply",              {T("command"), N("length")}},
    {CauseCode::CommandTooLong,      "command-too-long",       {}},
    {CauseCode::CommandNotAscii,     "command-not-ascii",      {}},
    {CauseCode::NotSent,             "not-sent",               {T("command")}},
    {CauseCode::NoController,        "no-controller",          {T("id")}},
    {CauseCode::ModelUnknown,        "model-unknown",          {}},
    {CauseCode::NotIdentified,       "not-identified",         {}},
    {CauseCode::ModelKindMismatch,   "model-kind-mismatch",    {N("found"), T("expected")}},
    {CauseCode::ModelMismatch,       "model-mismatch",         {T("found"), T("expected")}},
    {CauseCode::VersionUnreadable,   "version-unreadable",     {T("version")}},
    {CauseCode::VersionOutOfRange,   "version-out-of-range",   {T("found"), T("range")}},
    {CauseCode::SerialMismatch,      "serial-mismatch",        {T("reported"), T("scanned")}},
    {CauseCode::InputMismatch,       "input-mismatch",         {N("cycle"), T("outputs"), T("inputs"), T("expected"), N("input")}},
    {CauseCode::InputNotRead,        "input-not-read",         {N("cycle"), N("input")}},
    {CauseCode::ReplyMismatch,       "reply-mismatch",         {T("reply"), T("pattern")}},
    {CauseCode::TooFewRecords,       "too-few-records",        {N("found"), N("least")}},
    {CauseCode::TooManyRecords,      "too-many-records",       {N("found"), N("most")}},
    {CauseCode::BadRecord,           "bad-record",             {}},
    {CauseCode::NotBackAfterRestart, "not-back-after-restart", {N("seconds")}},
    {CauseCode::FileNotChosen,       "file-not-chosen",        {}},
    {CauseCode::FileMissing,         "file-missing",           {T("path")}},
    {CauseCode::FileUnreadable,      "file-unreadable",        {T("path")}},
    {CauseCode::FileTooShort,        "file-too-short",         {T("path")}},
    {CauseCode::FileNotFirmware,     "file-not-firmware",      {}},
    {CauseCode::FileForOtherModel,   "file-for-other-model",   {T("fileModel"), T("controllerModel")}},
    {CauseCode::FileHashMismatch,    "file-hash-mismatch",     {T("sha256")}},
    {CauseCode::FileNoImage,         "file-no-image",          {}},
    {CauseCode::FileTooLarge,        "file-too-large",         {N("blocks"), N("most")}},
    {CauseCode::FileChanged,         "file-changed",           {T("path")}},
    {CauseCode::Unsigned,            "unsigned",               {}},
    {CauseCode::BadSignature,        "bad-signature",          {}},
    {CauseCode::UntrustedKey,        "untrusted-key",          {T("keyId")}},
    {CauseCode::NotForThisModel,     "not-for-this-model",     {T("model"), T("models")}},
    {CauseCode::Downgrade,           "downgrade",              {T("unitVersion"), T("imageVersion")}},
    {CauseCode::Expired,             "expired",                {T("date")}},
    {CauseCode::NoLoader,            "no-loader",              {N("modelKind")}},
    {CauseCode::LoaderNotEntered,    "loader-not-entered",     {}},
    {CauseCode::LoaderNotAnswering,  "loader-not-answering",   {}},
    {CauseCode::FlashNotErased,      "flash-not-erased",       {}},
    {CauseCode::EraseFailed,         "erase-failed",           {N("block")}},
    {CauseCode::NotProgrammed,       "not-programmed",         {N("block")}},
    {CauseCode::NotReadBack,         "not-read-back",          {N("block")}},
    {CauseCode::VerifyFailed,        "verify-failed",          {N("block")}},
    {CauseCode::VersionAfterUpgrade, "version-after-upgrade",  {T("found"), T("range")}},
    {CauseCode::Interrupted,         "interrupted",            {}},
    {CauseCode::Watched,             "watched",                {}},
    {CauseCode::Unknown,             "unknown",                {T("text")}},
};
// clang-format on
static_assert(std::size(kCauses) == size_t(CauseCode::Unknown) + 1, "one row per cause");

constexpr bool InCodeOrder() {
    for (size_t i = 0; i < std::size(kCauses); ++i)
        if (size_t(kCauses[i].code) != i) return false;
    return true;
}
static_assert(InCodeOrder(), "the rows in CauseCode order");

const CauseRow& rowOf(CauseCode code) { return kCauses[size_t(code)]; }

QJsonValue kept(const ValueRow& row, const QVariant& value) {
    if (row.kind == CauseValueKind::Number) return QJsonValue(value.toLongLong());
    return QJsonValue(value.toString());
}

}  // namespace

Cause Cause::of(CauseCode code, const QVariantList& values) {
    Cause cause{code, {}};
    const CauseRow& row = rowOf(code);
    for (qsizetype i = 0; i < values.size() && i < qsizetype(row.values.size()); ++i)
        if (row.values[size_t(i)].name)
            cause.values.insert(QLatin1String(row.values[size_t(i)].name), kept(row.values[size_t(i)], values[i]));
    return cause;
}

QString Cause::name() const { return CauseName(code); }

bool Cause::passed() const { return CausePassed(code); }

qint64 Cause::number(const QString& value) const {
    return values.value(value).toVariant().toLongLong();
}

QString Cause::text(const QString& value) const {
    const QJsonValue v = values.value(value);
    return v.isDouble() ? QString::number(v.toVariant().toLongLong()) : v.toString();
}

QString CauseName(CauseCode code) { return QLatin1String(rowOf(code).name); }

std::optional<CauseCode> CauseCodeNamed(const QString& name) {
    for (const CauseRow& row : kCauses)
        if (name == QLatin1String(row.name)) return row.code;
    return std::nullopt;
}

QStringList CauseValueNames(CauseCode code) {
    QStringList names;
    for (const ValueRow& v : rowOf(code).values)
        if (v.name) names << QLatin1String(v.name);
    return names;
}

CauseValueKind CauseValueKindOf(CauseCode code, const QString& value) {
    for (const ValueRow& v : rowOf(code).values)
        if (v.name && value == QLatin1String(v.name)) return v.kind;
    return CauseValueKind::Text;
}

bool CausePassed(CauseCode code) {
    return code == CauseCode::Ok || code == CauseCode::UpgradeNotNeeded || code == CauseCode::BlocksLeftOut ||
           code == CauseCode::NothingProgrammed;
}

QList<CauseCode> AllCauseCodes() {
    QList<CauseCode> codes;
    for (const CauseRow& row : kCauses) codes << row.code;
    return codes;
}

QJsonObject ToJson(const Cause& cause) {
    QJsonObject json = cause.values;
    json.insert(QStringLiteral("code"), cause.name());
    return json;
}

std::optional<Cause> CauseFromJson(const QJsonObject& json) {
    const std::optional<CauseCode> code = CauseCodeNamed(json.value(QStringLiteral("code")).toString());
    if (!code) return std::nullopt;
    Cause cause{*code, {}};
    for (const ValueRow& v : rowOf(*code).values) {
        if (!v.name) continue;
        const QString name = QLatin1String(v.name);
        if (json.contains(name)) cause.values.insert(name, kept(v, json.value(name).toVariant()));
    }
    return cause;
}

}  // namespace pb
