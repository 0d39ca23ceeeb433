// Timers that plugins scheduled, ordered by due time and, at equal due times, by the order in
// which they were scheduled.
#pragma once

#include "kivhost/core/kivhost_types.h"

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kiv::kivhost {

struct DueTimer {
    std::size_t historyIndex = 0;
    PluginId plugin = 0;
    std::string name;
    PluginTimerCallbackFn callback = nullptr;
    void* userData = nullptr;
};

class TimerQueue {
  public:
    // A plugin's delay in whole milliseconds, rounded to the nearest. This is kivhost's own
    // policy: its clock counts milliseconds, and a delay handed over as a double number of
    // seconds often does not convert back to the milliseconds meant (1.001 s gives
    // 1000.9999999999999 ms), so rounding keeps timelines deterministic and gives jobs meant for
    // the same moment one due time. Not positive (or not a number) gives 0; beyond the clock's
    // range, the end of time.
    static std::int64_t roundDelayMs(double seconds) noexcept;

    void schedule(PluginId plugin, std::string name, PluginTimerCallbackFn callback, void* userData,
                  std::int64_t dueMs);
    std::optional<std::int64_t> nextDueMs() const;
    // Takes the first timer due at or before `untilMs`, marking it fired in the history.
    std::optional<DueTimer> takeDue(std::int64_t untilMs);
    // Drops the plugin's pending timers and returns how many there were.
    std::size_t dropPlugin(PluginId plugin);
    std::size_t pending() const noexcept { return pending_.size(); }

    const std::vector<TimerRecord>& history() const noexcept { return history_; }
    // The callback and user data of the index-th scheduled timer, for a deliberate replay.
    DueTimer replay(std::size_t index) const;

  private:
    using Key = std::pair<std::int64_t, std::size_t>; // due time, scheduling order
    std::map<Key, DueTimer> pending_;
    std::vector<TimerRecord> history_;
    std::vector<std::pair<PluginTimerCallbackFn, void*>> callbacks_; // parallel to history_
};

} // namespace kiv::kivhost
