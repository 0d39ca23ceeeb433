#include "kivhost/core/timer_queue.h"

#include "kivhost/core/host_clock.h"
#include "kivhost/core/host_error.h"
#include "platform/invariant.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

bool TimerQueue::laterThan(const Pending& a, const Pending& b) noexcept {
    return a.dueMs != b.dueMs ? a.dueMs > b.dueMs : a.index > b.index;
}

void TimerQueue::schedule(PluginId plugin, std::string_view name, PluginTimerCallbackFn callback,
                          void* userData, std::int64_t dueMs) {
    if (history_.size() >= std::numeric_limits<std::uint32_t>::max() ||
        plugin > std::numeric_limits<std::uint32_t>::max()) {
        throw HostError("more timers than kivhost can hold");
    }
    const auto index = static_cast<std::uint32_t>(history_.size());
    history_.push_back(
        {dueMs, callback, userData, names_.intern(name), static_cast<std::uint32_t>(plugin), false});
    try {
        pending_.push_back({dueMs, index});
    } catch (...) {
        history_.pop_back();
        throw;
    }
    std::push_heap(pending_.begin(), pending_.end(), laterThan);
}

std::optional<std::int64_t> TimerQueue::nextDueMs() const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    return pending_.front().dueMs;
}

std::optional<DueTimer> TimerQueue::takeDue(std::int64_t untilMs) {
    if (pending_.empty() || pending_.front().dueMs > untilMs) {
        return std::nullopt;
    }
    std::pop_heap(pending_.begin(), pending_.end(), laterThan);
    const std::uint32_t index = pending_.back().index;
    pending_.pop_back();
    KIV_ASSERT(index < history_.size(), "every pending timer has its history entry");
    history_[index].fired = true;
    return dueTimer(index);
}

std::size_t TimerQueue::dropPlugin(PluginId plugin) {
    const std::size_t dropped =
        std::erase_if(pending_, [&](const Pending& timer) { return history_[timer.index].plugin == plugin; });
    std::make_heap(pending_.begin(), pending_.end(), laterThan);
    return dropped;
}

std::vector<TimerRecord> TimerQueue::history() const {
    std::vector<TimerRecord> records;
    records.reserve(history_.size());
    for (const Scheduled& timer : history_) {
        records.push_back({timer.plugin, names_.text(timer.name), timer.dueMs, timer.fired});
    }
    return records;
}

std::vector<PendingTimer> TimerQueue::pendingInDueOrder() const {
    std::vector<Pending> order(pending_.begin(), pending_.end());
    std::sort(order.begin(), order.end(), [](const Pending& a, const Pending& b) { return laterThan(b, a); });
    std::vector<PendingTimer> timers;
    timers.reserve(order.size());
    for (const Pending& timer : order) {
        timers.push_back({timer.index, names_.text(history_[timer.index].name), timer.dueMs});
    }
    return timers;
}

DueTimer TimerQueue::replay(std::size_t index) const {
    if (index >= history_.size()) {
        throw HostError("no timer number " + std::to_string(index) + " was scheduled");
    }
    return dueTimer(index);
}

DueTimer TimerQueue::dueTimer(std::size_t index) const {
    const Scheduled& timer = history_[index];
    return {index, timer.plugin, names_.text(timer.name), timer.callback, timer.userData};
}

} // namespace kiv::kivhost
