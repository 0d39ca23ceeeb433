#include "platform/debugger_output.h"

#include <windows.h>

namespace kiv::platform {

void writeDebuggerOutput(const char* text) noexcept {
    if (text) {
        OutputDebugStringA(text);
    }
}

// Debug-output listeners may read the channel without a debugger attached, so it always counts.
bool hasDebuggerOutput() noexcept {
    return true;
}

} // namespace kiv::platform
