#include "platform/local_time.h"

#include <windows.h>

namespace kiv::platform {

LocalTime currentLocalTime() noexcept {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

} // namespace kiv::platform
