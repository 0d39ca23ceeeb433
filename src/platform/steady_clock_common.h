// The clock source shared by the POSIX and Windows halves of the steady clock: the process's own
// clock function when one was found, else the system's.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kiv::platform::detail {

using ProcessClockFn = std::int64_t (*)();

inline std::atomic<ProcessClockFn>& processClock() noexcept {
    static std::atomic<ProcessClockFn> clock{nullptr};
    return clock;
}

inline std::int64_t systemSteadyNanoseconds() noexcept {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}

inline std::int64_t readSteadyClock() noexcept {
    const ProcessClockFn clock = processClock().load(std::memory_order_acquire);
    return clock ? clock() : systemSteadyNanoseconds();
}

} // namespace kiv::platform::detail
