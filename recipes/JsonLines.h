#pragma once
// Where each value of a JSON text stands: QJsonDocument keeps no positions, so the
// recipe checker scans the text once more to name the line of a field it objects to.

#include <QByteArray>
#include <QHash>
#include <QString>

namespace pb {

class JsonLines {
public:
    // `text` must be JSON that QJsonDocument accepted.
    explicit JsonLines(const QByteArray& text);

    // The line (from 1) of a member's key or an array element's first character, by
    // path: "product", "steps[2]", "steps[2].version.min"; 1 for "" and unknown paths.
    int line(const QString& path) const { return lines_.value(path, 1); }
    bool has(const QString& path) const { return lines_.contains(path); }

    // The line (from 1) of a byte offset, as QJsonParseError gives one.
    static int lineOfOffset(const QByteArray& text, qsizetype offset);

private:
    void value(const QString& path);
    void object(const QString& path);
    void array(const QString& path);
    QString string();
    void skipSpace();

    const QByteArray& text_;
    qsizetype at_ = 0;
    int line_ = 1;
    QHash<QString, int> lines_;
};

}  // namespace pb
