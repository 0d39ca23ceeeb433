// The Server-Sent Events stream of /events: what the feed holds from the client's position on,
// then each event as it happens, until the client leaves or the server stops.
#pragma once

#include "kivhost/serve/event_feed.h"

#include <boost/asio/ip/tcp.hpp>

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
// `dropped` event: {"dropped": N, "first": ID}.
void streamEvents(boost::asio::ip::tcp::socket& socket, EventFeed& feed, const EventStreamStart& start);

} // namespace kiv::kivhost
