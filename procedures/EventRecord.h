#pragma once
// One record of the controller's event store as "QI" carries it, and how the polling
// data test shows it.
//
// Layout (33 characters, all digits): sequence number (6), time stamp yyyyMMddHHmmss
// (14), kind (2), point (1: door, input or alarm level), card or user number (10).

#include <QByteArray>
#include <QString>
#include <optional>

#include "i18n/Language.h"

namespace pb {

constexpr int kEventRecordLength = 33;

enum class EventKind { CardGranted = 1, CardDenied = 2, InputOn = 3, InputOff = 4, Alarm = 5, PowerUp = 6 };

struct EventRecord {
    int sequence = 0;
    QString stamp;  // the 14 time stamp digits as sent
    int kind = 0;
    int point = 0;
    QString number;  // ten digits
};

// Empty unless the text is exactly one record of digits.
std::optional<EventRecord> ParseEventRecord(const QByteArray& text);

// "yyyy/mm/dd hh:nn:ss", from the digits as sent: a stamp the controller got wrong is
// shown as it is, not corrected or dropped.
QString RecordDateText(const EventRecord& record);

// "#12 Granted, door 1, card 0001234567" in the given language.
QString DescribeRecord(const EventRecord& record, Language language);

}  // namespace pb
