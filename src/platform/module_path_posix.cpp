#include "platform/module_path.h"

#include <unistd.h>

namespace kiv::platform {

std::size_t executablePath(char* buffer, std::size_t size) noexcept {
    if (!buffer || size == 0) {
        return 0;
    }
    // readlink does not terminate the text and silently cuts it to the room it is given.
    const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
    const std::size_t written = length > 0 ? static_cast<std::size_t>(length) : 0;
    buffer[written] = '\0';
    return written;
}

} // namespace kiv::platform
