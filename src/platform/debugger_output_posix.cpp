#include "platform/debugger_output.h"

namespace kiv::platform {

// POSIX systems have no debugger output channel; the debugger target's lines go nowhere.
void writeDebuggerOutput(const char*) noexcept {}

bool hasDebuggerOutput() noexcept {
    return false;
}

} // namespace kiv::platform
