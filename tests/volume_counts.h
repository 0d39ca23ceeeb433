// How many items a volume test holds: a small count in `make test`, where the suite has to stay
// quick, and the full count when KIV_FULL_VOLUME is set, as `make soak` does.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace kiv::testing_volume {

inline bool fullVolume() noexcept {
    const char* flag = std::getenv("KIV_FULL_VOLUME");
    return flag && *flag && *flag != '0';
}

inline std::size_t volumeCount(std::size_t small, std::size_t full) noexcept {
    return fullVolume() ? full : small;
}

} // namespace kiv::testing_volume
