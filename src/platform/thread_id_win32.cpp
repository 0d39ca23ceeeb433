#include "platform/thread_id.h"

#include <windows.h>

namespace kiv::platform {

std::uint32_t currentThreadId() noexcept {
    return GetCurrentThreadId();
}

} // namespace kiv::platform
