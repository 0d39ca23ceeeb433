#include "logging/debugger_console_log_target.h"

#include "platform/debugger_output.h"

namespace kiv {

const char* DebuggerConsoleLogTarget::name() const noexcept {
    return "DebuggerConsoleLogTarget";
}

void DebuggerConsoleLogTarget::flush() noexcept {}

void DebuggerConsoleLogTarget::writeLine(const char* line, std::size_t) noexcept {
    platform::writeDebuggerOutput(line);
}

} // namespace kiv
