#include "logging/debugger_console_log_target.h"

#include "platform/debugger_output.h"

namespace kiv {

const char* DebuggerConsoleLogTarget::name() const noexcept {
    return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::write(const LogRecord& record) noexcept {
    return platform::hasDebuggerOutput() ? BaseConsoleLogTarget::write(record) : true;
}

void DebuggerConsoleLogTarget::flush() noexcept {}

void DebuggerConsoleLogTarget::writeLine(const char* line, std::size_t) noexcept {
    platform::writeDebuggerOutput(line);
}

} // namespace kiv
