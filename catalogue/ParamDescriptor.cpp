#include "catalogue/ParamDescriptor.h"

namespace pb {

QString KindText(const ParamDescriptor& param) {
    switch (param.kind) {
        case ParamKind::Integer:
            return QStringLiteral("integer %1..%2").arg(param.min).arg(param.max);
        case ParamKind::Flag:
            return param.positional() || !param.field ? QStringLiteral("flag") : QStringLiteral("true or false");
        case ParamKind::Text:
            return QStringLiteral("text");
        case ParamKind::NonEmptyText:
            return QStringLiteral("text, not empty");
        case ParamKind::Regex:
            return QStringLiteral("regular expression");
        case ParamKind::Sha256:
            return QStringLiteral("64 hexadecimal digits");
        case ParamKind::DateTime:
            return QStringLiteral("yyyy-mm-ddThh:mm:ss");
        case ParamKind::Versions:
            return QStringLiteral("{\"min\": V, \"max\": V}, either or both");
        case ParamKind::ModelKinds:
            return QStringLiteral("model kind %1..%2, or a list of them").arg(param.min).arg(param.max);
        case ParamKind::Outputs:
            return QStringLiteral("up to four 0/1");
        case ParamKind::Patterns:
            return QStringLiteral("[{\"outputs\": \"1010\", \"inputs\": \"10x00000\"}, ...]");
        case ParamKind::ModuleType:
            return QStringLiteral("0..5 or A B H I J E");
        case ParamKind::ModuleWord:
            return QStringLiteral("type letter, number, command: \"A1B\"");
    }
    return {};
}

}  // namespace pb
