#include "platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace kiv::platform {

std::uint32_t currentThreadId() noexcept {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

} // namespace kiv::platform
