#include "kivhost/serve/event_feed.h"

#include "kivhost/core/json_text.h"
#include "kivhost/serve/server_sent_events.h"
#include "kivhost/timeline/timeline.h"

#include <algorithm>
#include <cstddef>

namespace kiv::kivhost {

void EventFeed::add(const Happening& happening) {
    auto entry = std::make_shared<FeedEntry>();
    entry->line = timelineJson(happening);
    const EventSent* sent = std::get_if<EventSent>(&happening.detail);
    if (sent && !happening.plugin.empty()) {
        entry->event = sseEventName(sent->name);
        entry->data = toJson(sent->payload);
    } else {
        entry->event = happeningType(happening.detail);
        entry->data = entry->line;
    }
    push(std::move(entry));
}

void EventFeed::addLine(std::string type, std::string line) {
    auto entry = std::make_shared<FeedEntry>();
    entry->event = std::move(type);
    entry->data = line;
    entry->line = std::move(line);
    push(std::move(entry));
}

void EventFeed::forwardTo(FeedForward forward) {
    std::lock_guard lock(mutex_);
    forward_ = std::move(forward);
}

void EventFeed::addEntry(FeedEntry entry) {
    push(std::make_shared<const FeedEntry>(std::move(entry)));
}

void EventFeed::push(std::shared_ptr<const FeedEntry> entry) {
    if (forward_.entry) { // set before any entry is made, and never changed after
        forward_.entry(*entry);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        bytes_ += entry->bytes();
        entries_.push_back(std::move(entry));
        trim();
    }
    added_.notify_all();
}

void EventFeed::trim() {
    while (entries_.size() > kFeedMaxEntries || (bytes_ > kFeedMaxBytes && entries_.size() > 1)) {
        bytes_ -= entries_.front()->bytes();
        entries_.pop_front();
        ++first_;
    }
}

FeedBatch EventFeed::after(std::size_t from, std::chrono::milliseconds wait, std::size_t maxBytes) {
    std::unique_lock lock(mutex_);
    added_.wait_for(lock, wait, [&] { return closed_ || first_ + entries_.size() > from; });
    FeedBatch batch;
    batch.instance = instance_;
    batch.first = std::max(from, first_);
    batch.oldest = first_;
    batch.dropped = from < first_ ? first_ - from : 0;
    batch.next = first_ + entries_.size();
    if (closed_) {
        return batch;
    }
    std::size_t bytes = 0;
    for (std::size_t at = batch.first - first_; at < entries_.size() && (bytes < maxBytes || bytes == 0);
         ++at) {
        bytes += entries_[at]->bytes();
        batch.entries.push_back(entries_[at]);
    }
    return batch;
}

FeedBatch EventFeed::keptFrom(std::size_t from) const {
    std::lock_guard lock(mutex_);
    FeedBatch batch;
    batch.instance = instance_;
    batch.first = std::clamp(from, first_, first_ + entries_.size());
    batch.oldest = first_;
    batch.dropped = from < first_ ? first_ - from : 0;
    batch.next = first_ + entries_.size();
    batch.entries.assign(entries_.begin() + static_cast<std::ptrdiff_t>(batch.first - first_),
                         entries_.end());
    return batch;
}

std::size_t EventFeed::size() const {
    std::lock_guard lock(mutex_);
    return first_ + entries_.size();
}

void EventFeed::restart(std::string instance) {
    {
        std::lock_guard lock(mutex_);
        first_ += entries_.size();
        entries_.clear();
        bytes_ = 0;
        instance_ = instance;
    }
    if (forward_.restart) {
        forward_.restart(instance);
    }
    added_.notify_all();
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
