// The cut-off decision taken for each login data packet: which rule gives the cut-off, and what
// that cut-off means now (a status at once) and later (the warning and cut-off jobs).
#pragma once

#include "service/shutdown_law_types.h"

#include <cstdint>
#include <optional>

namespace kiv {

class Value;

// The five members of the login data packet, read leniently: a missing or null member reads as
// 0 or false, integers may arrive as bools, floats or numeric strings, truths as numbers or
// "true"/"1".
struct LoginData {
    std::int64_t minutesUntilMidnight = 0;
    bool minor = false;
    bool minorShutdownEnforced = false;
    std::int64_t minutesUntilShutdown = 0;
    bool minutesUntilShutdownEnabled = false;
};

[[nodiscard]] LoginData readLoginData(const Value& packet) noexcept;

// `minutesUntilShutdown` holds this when no explicit cut-off is given.
inline constexpr std::int64_t kNoExplicitCutOff = -1;
// The warning starts this many minutes before the cut-off.
inline constexpr std::int64_t kWarningLeadMinutes = 90;

// The minutes until the cut-off, or nothing when the law does not apply to this packet. An
// explicit cut-off in force wins over the minors' midnight cut-off.
[[nodiscard]] std::optional<std::int64_t> chooseCutOffMinutes(const LoginData& login) noexcept;

// What a known cut-off leads to: a status at once, and which of the two jobs lie ahead. The
// jobs' moments count from the packet, and the law computes them there.
struct CutOffSchedule {
    std::optional<Brix::Client::ShutdownLaw::Api::ShutdownLawStatus> statusNow; // assigned at once
    bool cutOffJob = false;
    bool warningJob = false;
};

[[nodiscard]] CutOffSchedule scheduleCutOff(std::int64_t cutOffMinutes) noexcept;

} // namespace kiv
