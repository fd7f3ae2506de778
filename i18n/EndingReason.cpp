#include "i18n/EndingReason.h"

#include <array>

namespace pb {
namespace {

struct CauseRow {
    EndingCause cause;
    const char* name;
    std::array<const char*, 2> facts;
};

// clang-format off
constexpr CauseRow kCauses[] = {
    {EndingCause::None,                    "",                            {}},
    {EndingCause::LineWentAwayAfterCycles, "line-went-away-after-cycles", {"cycles"}},
    {EndingCause::LineWentAway,            "line-went-away",              {"command"}},
    {EndingCause::NoReply,                 "no-reply",                    {"command"}},
    {EndingCause::BadChecksum,             "bad-checksum",                {"command"}},
    {EndingCause::UnexpectedReply,         "unexpected-reply",            {"command"}},
    {EndingCause::CommandTooLong,          "command-too-long",            {}},
    {EndingCause::CommandNotAscii,         "command-not-ascii",           {}},
    {EndingCause::NotSent,                 "not-sent",                    {"command"}},
    {EndingCause::NoControllerAt,          "no-controller",               {"id"}},
    {EndingCause::ModelUnknown,            "model-unknown",               {}},
    {EndingCause::BadRecord,               "bad-record",                  {}},
    {EndingCause::NoFileChosen,            "no-file-chosen",              {}},
    {EndingCause::NoSuchFile,              "no-such-file",                {"path"}},
    {EndingCause::FileUnreadable,          "file-unreadable",             {"path"}},
    {EndingCause::FileTooShort,            "file-too-short",              {"path"}},
    {EndingCause::NotAFirmwareFile,        "not-a-firmware-file",         {}},
    {EndingCause::FileForOtherModel,       "file-for-other-model",        {"fileModel", "controllerModel"}},
    {EndingCause::NotIdentified,           "not-identified",              {}},
    {EndingCause::NoLoader,                "no-loader",                   {"modelKind"}},
    {EndingCause::LoaderNotEntered,        "loader-not-entered",          {}},
    {EndingCause::LoaderNotAnswering,      "loader-not-answering",        {}},
    {EndingCause::FlashNotErased,          "flash-not-erased",            {}},
    {EndingCause::EraseFailed,             "erase-failed",                {"block"}},
    {EndingCause::BlockNotProgrammed,      "block-not-programmed",        {"block"}},
    {EndingCause::BlockNotReadBack,        "block-not-read-back",         {"block"}},
    {EndingCause::BlockDiffers,            "block-differs",               {"block"}},
};
// clang-format on
static_assert(std::size(kCauses) == size_t(EndingCause::BlockDiffers) + 1);

constexpr bool InCauseOrder() {
    for (size_t i = 0; i < std::size(kCauses); ++i)
        if (size_t(kCauses[i].cause) != i) return false;
    return true;
}
static_assert(InCauseOrder());

const CauseRow& rowOf(EndingCause cause) {
    return kCauses[size_t(cause)];
}

}  // namespace

QString EndingCauseName(EndingCause cause) {
    return QLatin1String(rowOf(cause).name);
}

QStringList FactNames(EndingCause cause) {
    QStringList names;
    for (const char* name : rowOf(cause).facts)
        if (name) names << QLatin1String(name);
    return names;
}

QJsonObject ToJson(const EndingReason& reason) {
    if (!reason) return {};
    QJsonObject json{{QStringLiteral("cause"), EndingCauseName(reason.cause)}};
    const QStringList names = FactNames(reason.cause);
    for (int i = 0; i < names.size() && i < reason.facts.size(); ++i)
        json.insert(names[i], reason.facts[i]);
    return json;
}

std::optional<EndingReason> EndingReasonFromJson(const QJsonObject& json) {
    const QString name = json.value(QStringLiteral("cause")).toString();
    if (name.isEmpty()) return std::nullopt;
    for (const CauseRow& row : kCauses) {
        if (name != QLatin1String(row.name)) continue;
        EndingReason reason{row.cause, {}};
        for (const QString& fact : FactNames(row.cause))
            reason.facts << json.value(fact).toVariant().toString();
        return reason;
    }
    return std::nullopt;
}

QStringList ToArgs(const EndingReason& reason) {
    if (!reason) return {};
    return QStringList{EndingCauseName(reason.cause)} + reason.facts;
}

std::optional<EndingReason> EndingReasonFromArgs(const QStringList& args) {
    if (args.isEmpty() || args.first().isEmpty()) return std::nullopt;
    for (const CauseRow& row : kCauses)
        if (args.first() == QLatin1String(row.name)) return EndingReason{row.cause, args.mid(1)};
    return std::nullopt;
}

EndingReason ReasonOf(const Exchange& x, const QString& command) {
    switch (x.error) {
        case LinkError::None:
            return {EndingCause::UnexpectedReply, {command}};
        case LinkError::NotOpen:
        case LinkError::DeviceGone:
        case LinkError::Closed:
            return {EndingCause::LineWentAway, {command}};
        case LinkError::NoReply:
            return {EndingCause::NoReply, {command}};
        case LinkError::BadChecksum:
            return {EndingCause::BadChecksum, {command}};
        case LinkError::TextTooLong:
            return {EndingCause::CommandTooLong, {}};
        case LinkError::NotAscii:
            return {EndingCause::CommandNotAscii, {}};
        case LinkError::WriteFailed:
            return {EndingCause::NotSent, {command}};
    }
    return {EndingCause::NoReply, {command}};
}

}  // namespace pb
