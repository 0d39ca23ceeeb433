// The Server-Sent Events stream of /events: what the feed holds from the client's position on,
// then each event as it happens, until the client leaves, falls too far behind, takes nothing for
// kWriteTime, its connection is closed for room, or the server stops.
#pragma once

#include "kivhost/serve/connection_slots.h"
#include "kivhost/serve/deadline_socket.h"
#include "kivhost/serve/event_feed.h"

#include <string_view>

namespace kiv::kivhost {

struct EventStreamStart {
    unsigned version = 11;        // the request's HTTP version, 11 for 1.1
    bool head = false;            // HEAD: the answer's header only
    std::string_view lastEventId; // a reconnecting EventSource's Last-Event-ID
    std::string_view query;       // `since=ID` starts there
    std::string_view allowOrigin; // a listed origin to name in the CORS header, or empty
};

// Starts at Last-Event-ID's successor, else at `since`, else with what happens from now on.
// The first message, and the first after each reset, names the world's instance: {"instance":
// ID, "from": the id that follows}. A position older than the feed keeps is followed by a
// `dropped` event: {"dropped": N, "first": ID}. A stream that has caught up with the feed once
// and then falls more than kStreamMaxLag entries behind it ends with a last `dropped` event:
// {"dropped": N, "first": ID, "closed": true}, the entries it was not sent from ID on; a client
// reconnects from there (with Last-Event-ID) and misses only what the feed no longer keeps.
void streamEvents(DeadlineSocket& socket, const ClientSocket& client, EventFeed& feed,
                  const EventStreamStart& start);

} // namespace kiv::kivhost
