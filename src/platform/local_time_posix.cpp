#include "platform/local_time.h"

#include <ctime>

namespace kiv::platform {

LocalTime currentLocalTime() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    if (!localtime_r(&now.tv_sec, &parts))
        return {};
    return {parts.tm_year + 1900,
            parts.tm_mon + 1,
            parts.tm_mday,
            parts.tm_hour,
            parts.tm_min,
            parts.tm_sec,
            static_cast<std::int32_t>(now.tv_nsec / 1000000)};
}

} // namespace kiv::platform
