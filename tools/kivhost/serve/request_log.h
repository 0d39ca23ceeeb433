// The request log of `kivhost serve`: every request a client made and the status it got back,
// as an `http` entry of the feed (an event type of its own, which the law's timeline leaves out)
// and, when asked for, as a line on the standard output.
#pragma once

#include "kivhost/serve/event_feed.h"

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string_view>

namespace kiv::kivhost {

class RequestLog {
  public:
    // `out` receives a line per request when given.
    RequestLog(EventFeed& feed, std::ostream* out) : feed_(feed), out_(out) {}

    // "GET /path?query 200"; the feed's line {"t", "type": "http", "method", "target", "status"},
    // `nowMs` on the world's clock.
    void record(std::int64_t nowMs, std::string_view method, std::string_view target, int status);

  private:
    EventFeed& feed_;
    std::ostream* const out_;
    std::mutex outMutex_; // one line at a time from the connections' threads
};

} // namespace kiv::kivhost
