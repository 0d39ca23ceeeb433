#include "platform/debugger_output.h"

#include <windows.h>

namespace kiv::platform {

void writeDebuggerOutput(const char* text) noexcept {
    if (text)
        OutputDebugStringA(text);
}

} // namespace kiv::platform
