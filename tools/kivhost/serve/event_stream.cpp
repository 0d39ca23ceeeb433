#include "kivhost/serve/event_stream.h"

#include "kivhost/serve/cors_headers.h"
#include "kivhost/serve/request_target.h"
#include "kivhost/serve/server_sent_events.h"

#include <boost/asio/write.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <optional>
#include <string>

namespace kiv::kivhost {
namespace {

namespace net = boost::asio;
namespace http = boost::beast::http;

// A stream waits this long for an event before it looks at its connection again.
constexpr std::chrono::milliseconds kStreamWait{500};
// After this many waits without an event a comment goes out, so that a client that went away is
// noticed within about a second on a connection that has nothing else to say (the write after
// the peer's reset fails) and its thread and connection are given back.
constexpr int kWaitsPerKeepAlive = 2;
// The text a stream takes from the feed at once: a client replaying a long history holds this
// much, not the history.
constexpr std::size_t kBatchBytes = std::size_t(64) << 10;

std::size_t startOf(const EventStreamStart& start, std::size_t now) {
    if (const auto last = parseIndex(start.lastEventId)) {
        return *last < now ? *last + 1 : now;
    }
    if (const auto since = parseIndex(queryValue(start.query, "since").value_or(""))) {
        return *since < now ? *since : now; // ids not given out yet are the ones that come next
    }
    return now;
}

std::string droppedNotice(std::size_t dropped, std::size_t first, bool closed) {
    return sseNotice("dropped", "{\"dropped\":" + std::to_string(dropped) + ",\"first\":" +
                                    std::to_string(first) + (closed ? ",\"closed\":true}" : "}"));
}

} // namespace

void streamEvents(DeadlineSocket& socket, const ClientSocket& client, EventFeed& feed,
                  const EventStreamStart& start) {
    std::size_t position = startOf(start, feed.size());
    http::response<http::empty_body> response(http::status::ok, start.version);
    response.set(http::field::content_type, kEventStreamContentType);
    response.set(http::field::cache_control, "no-cache");
    response.set("X-Accel-Buffering", "no");
    if (!start.allowOrigin.empty()) {
        addCorsFor(response.base(), start.allowOrigin);
    }
    response.chunked(true);
    response.keep_alive(false); // the stream ends only with the connection
    http::response_serializer<http::empty_body> serializer(response);
    boost::system::error_code failed;
    http::write_header(socket, serializer, failed);
    if (failed || start.head) {
        return;
    }
    std::string instance;
    bool caughtUp = false; // once it has been sent all there was, the stream must keep up
    for (int idleWaits = 0;;) {
        const FeedBatch batch = feed.after(position, kStreamWait, kBatchBytes);
        if (feed.closed() || client.closing) {
            break;
        }
        const std::size_t behind = batch.next - batch.first;
        if (caughtUp && behind > kStreamMaxLag && batch.instance == instance) {
            // A last word if the client still takes one; the connection ends either way.
            net::write(socket, http::make_chunk(net::buffer(droppedNotice(behind, batch.first, true))),
                       failed);
            return;
        }
        std::string text;
        const bool opening = instance.empty();
        const bool renewed = batch.instance != instance;
        if (renewed) {
            // First, and after a reset: the entries that follow belong to this instance.
            instance = batch.instance;
            text = sseNotice("instance", "{\"instance\":\"" + instance +
                                             "\",\"from\":" + std::to_string(batch.first) + "}");
        }
        // Entries of an instance before a reset were not dropped: they belong to another world.
        if (batch.dropped > 0 && (opening || !renewed)) {
            text += droppedNotice(batch.dropped, batch.first, false);
        }
        position = batch.first;
        for (const auto& entry : batch.entries) {
            text += sseMessage(position++, entry->event, entry->data);
        }
        caughtUp = caughtUp || position == batch.next;
        if (text.empty() && ++idleWaits >= kWaitsPerKeepAlive) {
            text = sseKeepAlive();
        }
        if (text.empty()) {
            continue;
        }
        idleWaits = 0;
        net::write(socket, http::make_chunk(net::buffer(text)), failed);
        if (failed) {
            return;
        }
    }
    net::write(socket, http::make_chunk_last(), failed);
}

} // namespace kiv::kivhost
