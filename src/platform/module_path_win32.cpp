#include "platform/module_path.h"

#include <windows.h>

namespace kiv::platform {

std::size_t executablePath(char* buffer, std::size_t size) noexcept {
    if (!buffer || size == 0) {
        return 0;
    }
    const DWORD room = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    // On a cut path GetModuleFileNameA returns the full room; older systems then leave the text
    // without its terminator.
    DWORD length = GetModuleFileNameA(nullptr, buffer, room);
    if (length >= room) {
        length = room - 1;
    }
    buffer[length] = '\0';
    return length;
}

} // namespace kiv::platform
