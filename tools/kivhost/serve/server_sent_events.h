// The framing of the Server-Sent Events that `kivhost serve` streams on /events: each message is
// an `id`, an `event` and a `data` field and a blank line, and a comment keeps a quiet connection
// tested. A field ends at the first line break, so no value may hold one: event names from plugins
// have theirs replaced, and the data is always one line of JSON.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kiv::kivhost {

inline constexpr const char* kEventStreamContentType = "text/event-stream";

// The name with each CR and LF replaced by a space.
std::string sseEventName(std::string_view name);

// One message; `event` as sseEventName gives it, `data` one line.
std::string sseMessage(std::size_t id, std::string_view event, std::string_view data);

// A message without an id, which a reconnecting client's Last-Event-ID never names: news about
// the stream itself rather than an entry of the feed.
std::string sseNotice(std::string_view event, std::string_view data);

// A comment that carries nothing but shows whether the client is still there.
std::string_view sseKeepAlive() noexcept;

} // namespace kiv::kivhost
