#include "recipes/JsonLines.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace pb {

JsonLines::JsonLines(const QByteArray& text) : text_(text) {
    lines_.insert(QString(), 1);
    skipSpace();
    if (at_ < text_.size()) value(QString());
}

int JsonLines::lineOfOffset(const QByteArray& text, qsizetype offset) {
    return int(text.left(qBound<qsizetype>(0, offset, text.size())).count('\n')) + 1;
}

void JsonLines::skipSpace() {
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '\n')
            ++line_;
        else if (c != ' ' && c != '\t' && c != '\r')
            return;
        ++at_;
    }
}

void JsonLines::value(const QString& path) {
    if (at_ >= text_.size()) return;
    const char c = text_[at_];
    if (c == '{')
        object(path);
    else if (c == '[')
        array(path);
    else if (c == '"')
        string();
    else  // number, true, false, null: no line breaks inside
        while (at_ < text_.size() && !QByteArrayView(",]} \t\r\n").contains(text_[at_])) ++at_;
}

void JsonLines::object(const QString& path) {
    ++at_;  // '{'
    skipSpace();
    while (at_ < text_.size() && text_[at_] != '}') {
        const int keyLine = line_;
        const QString key = string();
        const QString member = path.isEmpty() ? key : path + u'.' + key;
        lines_.insert(member, keyLine);
        skipSpace();
        ++at_;  // ':'
        skipSpace();
        value(member);
        skipSpace();
        if (at_ < text_.size() && text_[at_] == ',') ++at_;
        skipSpace();
    }
    ++at_;  // '}'
}

void JsonLines::array(const QString& path) {
    ++at_;  // '['
    skipSpace();
    for (int index = 0; at_ < text_.size() && text_[at_] != ']'; ++index) {
        const QString element = QStringLiteral("%1[%2]").arg(path).arg(index);
        lines_.insert(element, line_);
        value(element);
        skipSpace();
        if (at_ < text_.size() && text_[at_] == ',') ++at_;
        skipSpace();
    }
    ++at_;  // ']'
}

QString JsonLines::string() {
    const qsizetype start = at_;
    ++at_;  // opening quote
    bool escapes = false;
    while (at_ < text_.size() && text_[at_] != '"') {
        if (text_[at_] == '\\') {
            escapes = true;
            ++at_;
        }
        ++at_;
    }
    ++at_;  // closing quote
    const QByteArray raw = text_.mid(start, at_ - start);
    if (!escapes) return QString::fromUtf8(raw.mid(1, raw.size() - 2));
    // Let Qt undo the escapes, as it did for the document.
    return QJsonDocument::fromJson('[' + raw + ']').array().at(0).toString();
}

}  // namespace pb
