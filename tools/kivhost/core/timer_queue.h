// Timers that plugins scheduled, ordered by due time and, at equal due times, by the order in
// which they were scheduled. Every timer ever scheduled stays in the history (a scenario may fire
// one again on purpose), so a timer is kept small: its record and its place in the pending heap
// cost 44 bytes in the 32-bit build, its name eight of those.
#pragma once

#include "kivhost/core/job_name_table.h"
#include "kivhost/core/kivhost_types.h"

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
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

    void schedule(PluginId plugin, std::string_view name, PluginTimerCallbackFn callback, void* userData,
                  std::int64_t dueMs);
    std::optional<std::int64_t> nextDueMs() const;
    // Takes the first timer due at or before `untilMs`, marking it fired in the history.
    std::optional<DueTimer> takeDue(std::int64_t untilMs);
    // Drops the plugin's pending timers and returns how many there were.
    std::size_t dropPlugin(PluginId plugin);
    std::size_t pending() const noexcept { return pending_.size(); }

    // Every timer scheduled so far, in the order of scheduling.
    std::vector<TimerRecord> history() const;
    // The timers not run yet, the earliest due first (at equal due times, the first scheduled).
    std::vector<PendingTimer> pendingInDueOrder() const;
    // The index-th scheduled timer, for a deliberate replay.
    DueTimer replay(std::size_t index) const;

  private:
    struct Scheduled {
        std::int64_t dueMs;
        PluginTimerCallbackFn callback;
        void* userData;
        JobName name;
        std::uint32_t plugin;
        bool fired;
    };
    struct Pending {
        std::int64_t dueMs;
        std::uint32_t index; // in history_
    };
    // The heap's order: the earliest due first, then the earliest scheduled.
    static bool laterThan(const Pending& a, const Pending& b) noexcept;
    DueTimer dueTimer(std::size_t index) const;

    JobNameTable names_;
    std::deque<Scheduled> history_; // a deque grows without copying what it holds
    std::deque<Pending> pending_;   // a binary heap by laterThan
};

} // namespace kiv::kivhost
