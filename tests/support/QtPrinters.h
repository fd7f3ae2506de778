#pragma once
// Readable GoogleTest failure messages for Qt texts and procedure outcomes.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

#include "procedures/Procedure.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace pb {
inline void PrintTo(Outcome o, std::ostream* os) {
    *os << (o == Outcome::Ok ? "Ok" : o == Outcome::Error ? "Error" : "OpenFailed");
}
}  // namespace pb
