#include "kivhost/core/timer_queue.h"

#include "kivhost/core/host_clock.h"
#include "kivhost/core/host_error.h"
#include "platform/invariant.h"

#include <cmath>

namespace kiv::kivhost {

std::int64_t TimerQueue::roundDelayMs(double seconds) noexcept {
    if (!(seconds > 0.0)) {
        return 0;
    }
    const double ms = seconds * 1000.0;
    // The largest double below 2^63; anything from there on would not fit.
    if (ms >= 9223372036854774784.0) {
        return kEndOfTime;
    }
    return std::llround(ms);
}

void TimerQueue::schedule(PluginId plugin, std::string name, PluginTimerCallbackFn callback, void* userData,
                          std::int64_t dueMs) {
    const std::size_t index = history_.size();
    history_.push_back({plugin, name, dueMs, false});
    callbacks_.emplace_back(callback, userData);
    pending_.emplace(Key{dueMs, index}, DueTimer{index, plugin, std::move(name), callback, userData});
}

std::optional<std::int64_t> TimerQueue::nextDueMs() const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    return pending_.begin()->first.first;
}

std::optional<DueTimer> TimerQueue::takeDue(std::int64_t untilMs) {
    if (pending_.empty() || pending_.begin()->first.first > untilMs) {
        return std::nullopt;
    }
    auto node = pending_.extract(pending_.begin());
    KIV_ASSERT(node.mapped().historyIndex < history_.size(), "every pending timer has its history entry");
    history_[node.mapped().historyIndex].fired = true;
    return std::move(node.mapped());
}

std::size_t TimerQueue::dropPlugin(PluginId plugin) {
    return std::erase_if(pending_, [&](const auto& entry) { return entry.second.plugin == plugin; });
}

DueTimer TimerQueue::replay(std::size_t index) const {
    if (index >= history_.size()) {
        throw HostError("no timer number " + std::to_string(index) + " was scheduled");
    }
    KIV_ASSERT(callbacks_.size() == history_.size(), "each scheduled timer keeps its callback beside it");
    const TimerRecord& record = history_[index];
    return {index, record.plugin, record.name, callbacks_[index].first, callbacks_[index].second};
}

} // namespace kiv::kivhost
