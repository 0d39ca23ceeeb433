// The process's list of attached log targets and the lock that guards logging. Targets attach
// themselves here and know nothing of the service; the service writes to what is listed, and its
// last release empties the list.
#pragma once

#include "logging/log_target_interface.h"
#include "platform/recursive_lock.h"

#include <vector>

namespace kiv {

class LogTargetList {
  public:
    LogTargetList() = delete;

    // Lives as long as the process, so that threads can still log and targets can still detach
    // while static objects are being torn down.
    static platform::RecursiveLock& lock() noexcept;

    // The caller holds lock() for each of these.
    // Appends a target (a target may be listed more than once); false when the list cannot grow.
    [[nodiscard]] static bool append(LogTargetInterface* target) noexcept;
    // Removes every occurrence of a target.
    static void remove(LogTargetInterface* target) noexcept;
    // The first listed target whose name equals `name` byte for byte, or null.
    [[nodiscard]] static LogTargetInterface* find(const char* name) noexcept;
    // The targets in attach order.
    [[nodiscard]] static const std::vector<LogTargetInterface*>& targets() noexcept;
    // Detaches every target, last first, through each one's own detach entry, so that a target
    // from another module is told; its entry goes even if that detach leaves it behind.
    static void detachAll() noexcept;
};

} // namespace kiv
