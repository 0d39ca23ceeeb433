#include "kivhost/serve/event_feed.h"

#include "kivhost/core/json_text.h"
#include "kivhost/serve/server_sent_events.h"
#include "kivhost/timeline/timeline.h"

namespace kiv::kivhost {

void EventFeed::add(const Happening& happening) {
    FeedEntry entry;
    entry.line = timelineJson(happening);
    const EventSent* sent = std::get_if<EventSent>(&happening.detail);
    if (sent && !happening.plugin.empty()) {
        entry.event = sseEventName(sent->name);
        entry.data = toJson(sent->payload);
    } else {
        entry.event = happeningType(happening.detail);
        entry.data = entry.line;
    }
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    added_.notify_all();
}

std::vector<FeedEntry> EventFeed::after(std::size_t from, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    added_.wait_for(lock, wait, [&] { return closed_ || entries_.size() > from; });
    if (closed_ || entries_.size() <= from) {
        return {};
    }
    return std::vector<FeedEntry>(entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end());
}

std::vector<std::string> EventFeed::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    lines.reserve(entries_.size());
    for (const FeedEntry& entry : entries_) {
        lines.push_back(entry.line);
    }
    return lines;
}

std::size_t EventFeed::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void EventFeed::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    added_.notify_all();
}

bool EventFeed::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

} // namespace kiv::kivhost
