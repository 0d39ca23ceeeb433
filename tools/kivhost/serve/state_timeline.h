// The state answers of `kivhost serve` come in two parts: the world's state (the clock, the
// pending timers), made where the plugin runs, and the timeline the server keeps in its feed,
// added where the answer is sent. The plugin may run in a process of its own; the feed, which
// the event streams read, is always the server's.
#pragma once

#include "kivhost/serve/event_feed.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kiv::kivhost {

// The world's state (a JSON object) with "first" and "next" (the ids of the oldest entry the feed
// keeps and of its next one) and "timeline" (every entry kept, as `kivhost run --json` writes
// it) added. With `since`, the timeline holds the entries from that id on only, and "dropped"
// says how many of those are no longer kept: a client that polls with the last answer's `next`
// reads each entry once.
std::string withTimeline(std::string worldState, const EventFeed& feed, std::optional<std::size_t> since);

} // namespace kiv::kivhost
