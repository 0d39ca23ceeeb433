// Everything the host recorded while serving, kept as Server-Sent Events in the order it
// happened, for the streams of /events and the timeline of /kivhost/state.
//
// Entries are numbered from 0; the number is the event's SSE id, so that a client that
// reconnects (or starts from the state's `next`) misses nothing and sees nothing twice. The feed
// keeps the newest entries only (at most kFeedMaxEntries and kFeedMaxBytes of text): older ones
// are dropped, and a stream that asks for them learns how many it missed. Every stream reads the
// one shared list at its own position, a batch at a time: entries are shared, never copied per
// stream, so that many clients replaying a long history cost no more than one.
#pragma once

#include "kivhost/core/happening.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::kivhost {

inline constexpr std::size_t kFeedMaxEntries = 10000;
inline constexpr std::size_t kFeedMaxBytes = std::size_t(32) << 20;

struct FeedEntry {
    std::string event; // the SSE event name, without line breaks
    std::string data;  // the SSE data: one line of JSON
    std::string line;  // the happening as a line of `kivhost run --json`

    std::size_t bytes() const noexcept { return event.size() + data.size() + line.size(); }
};

struct FeedBatch {
    std::string instance;    // the world's instance the entries belong to
    std::size_t first = 0;   // the id of entries.front(), or where the next entry will be
    std::size_t oldest = 0;  // the id of the oldest entry the feed keeps
    std::size_t dropped = 0; // entries asked for that the feed no longer keeps
    std::size_t next = 0;    // the id the next entry will get
    std::vector<std::shared_ptr<const FeedEntry>> entries;
};

// Where a feed sends its entries instead of keeping them: the server's feed, when the world runs
// in a process of its own.
struct FeedForward {
    std::function<void(const FeedEntry& entry)> entry;
    std::function<void(const std::string& instance)> restart;
};

class EventFeed {
  public:
    // From now on entries and restarts go to `forward` only.
    void forwardTo(FeedForward forward);
    // An event a plugin sent goes out under its own name with its payload as data; everything
    // else under its timeline type ("timer", "fire", "log", ...) with its timeline line as data.
    void add(const Happening& happening);
    // An entry of the server's own, under its type with its line as data (a request and the
    // status it got).
    void addLine(std::string type, std::string line);
    // An entry made elsewhere (a forwarded one), as it is.
    void addEntry(FeedEntry entry);

    // Entries from `from` on, as many as fit in about `maxBytes` (at least one), waiting up to
    // `wait` for one when there are none yet. When `from` is older than what is kept, the batch
    // starts at the oldest entry kept and says how many were dropped. Empty when the wait ran
    // out or the feed was closed.
    FeedBatch after(std::size_t from, std::chrono::milliseconds wait, std::size_t maxBytes);
    // Every entry kept from `from` on, without waiting: from the oldest kept when `from` is older
    // (`dropped` says how many of those asked for are gone); none when it is the next id or beyond.
    FeedBatch keptFrom(std::size_t from) const;
    // The id the next entry will get.
    std::size_t size() const;
    // A new instance of the world: drops every entry. Ids go on from where they were, so that a
    // stream's position stays valid; each stream announces the new instance.
    void restart(std::string instance);

    // Wakes every waiting stream for good: the server is stopping.
    void close();
    bool closed() const;

  private:
    void push(std::shared_ptr<const FeedEntry> entry);
    void trim();

    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::deque<std::shared_ptr<const FeedEntry>> entries_;
    std::size_t first_ = 0; // the id of entries_.front()
    std::size_t bytes_ = 0; // of the entries kept
    std::string instance_;
    bool closed_ = false;
    FeedForward forward_;
};

} // namespace kiv::kivhost
