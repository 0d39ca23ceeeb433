#include "platform/local_time.h"

#include <ctime>

namespace kiv::platform {

LocalTime currentLocalTime() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // Converting to local time costs more than a log line's formatting: each thread keeps the
    // parts of the last second it converted, which every later reading in that second shares.
    // A change of the zone while the process runs shows from the next second on.
    struct Conversion {
        std::time_t second = -1;
        std::tm parts{};
        bool ok = false;
    };
    thread_local Conversion last;
    if (now.tv_sec != last.second) {
        last.ok = localtime_r(&now.tv_sec, &last.parts) != nullptr;
        last.second = now.tv_sec;
    }
    if (!last.ok) {
        return {};
    }
    const std::tm& parts = last.parts;
    return {parts.tm_year + 1900,
            parts.tm_mon + 1,
            parts.tm_mday,
            parts.tm_hour,
            parts.tm_min,
            parts.tm_sec,
            static_cast<std::int32_t>(now.tv_nsec / 1000000)};
}

} // namespace kiv::platform
