#include "procedures/EventRecord.h"

#include <QStringList>

#include "i18n/EventTexts.h"

namespace pb {
namespace {

bool allDigits(const QByteArray& text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::optional<EventRecord> ParseEventRecord(const QByteArray& text) {
    if (text.size() != kEventRecordLength || !allDigits(text)) return std::nullopt;
    EventRecord r;
    r.sequence = text.left(6).toInt();
    r.stamp = QString::fromLatin1(text.mid(6, 14));
    r.kind = text.mid(20, 2).toInt();
    r.point = text.mid(22, 1).toInt();
    r.number = QString::fromLatin1(text.mid(23, 10));
    return r;
}

QString RecordDateText(const EventRecord& record) {
    const QString& s = record.stamp;
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(s.left(4), s.mid(4, 2), s.mid(6, 2), s.mid(8, 2), s.mid(10, 2), s.mid(12, 2));
}

QString DescribeRecord(const EventRecord& record, Language language) {
    const auto text = [language](EventText id) { return Text(id, language); };
    const QString point = QString::number(record.point);
    const QString card = text(EventText::Card).arg(record.number);
    QStringList parts;
    switch (EventKind(record.kind)) {
        case EventKind::CardGranted:
        case EventKind::CardDenied:
            parts = {text(record.kind == int(EventKind::CardGranted) ? EventText::CardGranted
                                                                     : EventText::CardDenied),
                     text(EventText::Door).arg(point), card};
            break;
        case EventKind::InputOn:
        case EventKind::InputOff:
            parts = {text(record.kind == int(EventKind::InputOn) ? EventText::InputOn
                                                                 : EventText::InputOff),
                     text(EventText::Input).arg(point)};
            break;
        case EventKind::Alarm:
            parts = {text(EventText::Alarm), text(EventText::Level).arg(point)};
            break;
        case EventKind::PowerUp:
            parts = {text(EventText::PowerUp)};
            break;
        default:
            // A kind this tool does not know: everything the record holds, unjudged.
            parts = {text(EventText::OtherKind).arg(record.kind, 2, 10, QLatin1Char('0')), point,
                     card};
            break;
    }
    return QStringLiteral("#%1 ").arg(record.sequence) + parts.join(text(EventText::Separator));
}

}  // namespace pb
