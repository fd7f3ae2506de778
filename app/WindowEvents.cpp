#include "app/WindowEvents.h"

#include <QHostInfo>

namespace pb {

std::unique_ptr<events::EventPublisher> StartEvents(const Settings& settings, const QString& storePath,
                                                    const QString& station) {
    if (settings.eventsUrl.isEmpty() || storePath.isEmpty()) return nullptr;
    std::optional<events::EventsTarget> target = events::ParseEventsUrl(settings.eventsUrl);
    if (!target) return nullptr;
    if (!settings.eventsUser.isEmpty()) target->user = settings.eventsUser;
    target->passwordFile = settings.eventsPasswordFile;
    events::PublisherOptions options;
    options.target = *target;
    options.storePath = storePath;
    options.station = station.isEmpty() ? QHostInfo::localHostName() : station;
    auto publisher = std::make_unique<events::EventPublisher>(options);
    publisher->setState(events::StationState::Idle);
    return publisher;
}

}  // namespace pb
