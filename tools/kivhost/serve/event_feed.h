// Everything the host recorded while serving, kept as Server-Sent Events in the order it
// happened, for the streams of /events and the timeline of /kivhost/state.
//
// Entries are numbered from 0; the number is the event's SSE id, so that a client that
// reconnects (or starts from the state's `next`) misses nothing and sees nothing twice. Every
// stream reads the one shared list at its own position: a slow or vanished client holds no
// queue of its own.
#pragma once

#include "kivhost/core/happening.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct FeedEntry {
    std::string event; // the SSE event name, without line breaks
    std::string data;  // the SSE data: one line of JSON
    std::string line;  // the happening as a line of `kivhost run --json`
};

class EventFeed {
  public:
    // An event a plugin sent goes out under its own name with its payload as data; everything
    // else under its timeline type ("timer", "fire", "log", ...) with its timeline line as data.
    void add(const Happening& happening);

    // The entries from `from` on, waiting up to `wait` for one when there are none yet. Empty
    // when the wait ran out or the feed was closed.
    std::vector<FeedEntry> after(std::size_t from, std::chrono::milliseconds wait);
    // The timeline lines of every entry so far.
    std::vector<std::string> lines() const;
    std::size_t size() const;

    // Wakes every waiting stream for good: the server is stopping.
    void close();
    bool closed() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::vector<FeedEntry> entries_;
    bool closed_ = false;
};

} // namespace kiv::kivhost
