#include "logging/base_console_log_target.h"

#include "logging/log_line_format.h"

#include <mutex>

namespace kiv {

BaseConsoleLogTarget::~BaseConsoleLogTarget() {
    detach();
}

const char* BaseConsoleLogTarget::name() const noexcept {
    return "BaseConsoleLogTarget";
}

bool BaseConsoleLogTarget::write(const LogRecord& record) noexcept {
    char line[kLogBufferSize];
    std::lock_guard lock(targetLock());
    const std::size_t length = FormatLogLine(line, sizeof line, templateFor(record), record);
    writeLine(line, length);
    return true;
}

} // namespace kiv
