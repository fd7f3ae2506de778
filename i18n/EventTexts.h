#pragma once
// The words the polling data test uses to show a controller's event record, in the
// three languages of the message table (the same language index).

#include <QString>

#include "i18n/Language.h"

namespace pb {

enum class EventText {
    CardGranted,  // record kinds 01..06
    CardDenied,
    InputOn,
    InputOff,
    Alarm,
    PowerUp,
    OtherKind,  // "%1": the kind number of a record this tool does not know
    Door,       // "%1": door number
    Input,      // "%1": input number
    Level,      // "%1": alarm level
    Card,       // "%1": card or user number
    Separator,  // between the parts of a record
    NoRecords,  // the store holds nothing
};

QString Text(EventText id, Language language);

}  // namespace pb
