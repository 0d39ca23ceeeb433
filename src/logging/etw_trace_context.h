// What one event-tracing provider knows about the sessions listening to it: the level and keyword
// masks of the last enable, and one enable bit per event group, kept by the provider's enable
// callback. Platform-independent, so the bit logic is the same on every system.
#pragma once

#include "platform/invariant.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kiv {

// Control codes the tracing service sends to a provider.
inline constexpr std::uint32_t kEtwControlDisable = 0;
inline constexpr std::uint32_t kEtwControlEnable = 1;

// An event group's keyword (0: none) and level (0: any).
struct EtwEventGroup {
    std::uint64_t keyword;
    std::uint8_t level;
};

class EtwTraceContext {
  public:
    // Each group has one enable bit of a 32-bit word.
    static constexpr std::size_t kMaxGroups = 32;

    // The context keeps a view of the groups.
    explicit constexpr EtwTraceContext(std::span<const EtwEventGroup> groups) noexcept : groups_(groups) {
        KIV_ASSERT(groups.size() <= kMaxGroups, "a group beyond the enable bits could never be enabled");
    }

    // The enable callback's work. Enable stores the session's level and keyword masks and sets each
    // group's bit unless the group's level is above a non-zero session level, or the group has a
    // keyword that shares no bit with match-any or lacks a bit of match-all. Disable clears
    // everything. Other codes change nothing.
    void control(std::uint32_t code, std::uint8_t level, std::uint64_t matchAnyKeyword,
                 std::uint64_t matchAllKeyword) noexcept;

    bool isEnabled() const noexcept { return enabled_.load(std::memory_order_acquire); }
    std::uint8_t level() const noexcept { return level_.load(std::memory_order_acquire); }
    std::uint64_t matchAnyKeyword() const noexcept { return matchAny_.load(std::memory_order_acquire); }
    std::uint64_t matchAllKeyword() const noexcept { return matchAll_.load(std::memory_order_acquire); }
    bool isGroupEnabled(std::size_t group) const noexcept;

  private:
    std::span<const EtwEventGroup> groups_;
    // Written by the tracing service's thread, read by any thread that writes events.
    std::atomic<bool> enabled_{false};
    std::atomic<std::uint8_t> level_{0};
    std::atomic<std::uint64_t> matchAny_{0};
    std::atomic<std::uint64_t> matchAll_{0};
    std::atomic<std::uint32_t> groupBits_{0};
};

} // namespace kiv
