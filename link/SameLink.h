#pragma once
// Whether two links reach the same controller, so that one command (or one fixture)
// never drives it twice at once. TCP: the same host and port, the host as typed but for
// case, a trailing dot and the spelling of an IP address ("::1" and "0:0:0:0:0:0:0:1"
// are one); no name is looked up, so "localhost" and "127.0.0.1" stay two links. Serial:
// the same device once links are followed ("ttyUSB0", "/dev/ttyUSB0" and a
// /dev/serial/by-id/ link to it are one).

#include <QList>
#include <optional>
#include <utility>

#include "link/LinkSettings.h"

namespace pb {

// The key two links share exactly when they are the same: "tcp HOST:PORT" or
// "serial /dev/ttyUSB0".
QString SameLinkKey(const LinkSettings& link);

// The first pair of links (earlier, later) that are the same; none when all differ.
std::optional<std::pair<int, int>> FirstRepeatedLink(const QList<LinkSettings>& links);

}  // namespace pb
