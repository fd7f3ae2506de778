#pragma once
// The window's and the stations' live events: the publisher of the broker in the settings
// ("EventsUrl", "EventsUser", "EventsPasswordFile"), reading this PC's records file; null
// without a broker, or with one whose URL this station cannot use.

#include <memory>

#include "events/EventPublisher.h"
#include "settings/Settings.h"

namespace pb {

std::unique_ptr<events::EventPublisher> StartEvents(const Settings& settings, const QString& storePath,
                                                    const QString& station = {});

}  // namespace pb
