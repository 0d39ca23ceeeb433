// The steady clock on which a plugin object measures delays and moments. It is the operating
// system's monotonic clock unless the process that loaded the module exports a clock of its own
// under a name the host boundary fixes: a host whose timers run on a simulated clock then hands
// the plugin that same clock, so that what the plugin measures agrees with when its timers fire.
//
// Each owner chooses its clock once, when it is made, and keeps it: a clock that a later load
// finds (or no longer finds) never changes the readings of an object made earlier. Readings count
// from the moment the clock was chosen, with wrapping arithmetic, so that neither the source's
// origin nor its age (a reading within hours of 2^63 ns, or one that wraps) changes a delay.
#pragma once

#include <cstdint>

namespace kiv::platform {

class SteadyClock {
  public:
    using SourceFn = std::int64_t (*)();

    // The clock exported by the process under `exportName` when there is one, else the system's.
    [[nodiscard]] static SteadyClock ofProcess(const char* exportName) noexcept;
    // The operating system's monotonic clock.
    SteadyClock() noexcept : SteadyClock(nullptr) {}

    // Nanoseconds since this clock was chosen; they never go backwards.
    [[nodiscard]] std::int64_t elapsedNanoseconds() const noexcept;

    [[nodiscard]] bool isProcessClock() const noexcept { return source_ != nullptr; }

  private:
    explicit SteadyClock(SourceFn source) noexcept;
    [[nodiscard]] std::int64_t readSource() const noexcept;

    SourceFn source_;
    std::int64_t origin_;
};

// The function the process exports under `exportName`, or null.
[[nodiscard]] SteadyClock::SourceFn findProcessClock(const char* exportName) noexcept;

} // namespace kiv::platform
