#include "platform/steady_clock.h"

#include <chrono>

namespace kiv::platform {

SteadyClock SteadyClock::ofProcess(const char* exportName) noexcept {
    return SteadyClock(findProcessClock(exportName));
}

SteadyClock::SteadyClock(SourceFn source) noexcept : source_(source), origin_(readSource()) {}

std::int64_t SteadyClock::readSource() const noexcept {
    if (source_) {
        return source_();
    }
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}

std::int64_t SteadyClock::elapsedNanoseconds() const noexcept {
    // Unsigned, so that a source that passes 2^63 wraps instead of overflowing.
    const std::uint64_t elapsed =
        static_cast<std::uint64_t>(readSource()) - static_cast<std::uint64_t>(origin_);
    return static_cast<std::int64_t>(elapsed);
}

} // namespace kiv::platform
