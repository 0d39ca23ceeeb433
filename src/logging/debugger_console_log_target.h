// Writes log lines to the attached debugger's output, where the system has one.
#pragma once

#include "logging/base_console_log_target.h"

namespace kiv {

class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
  public:
    const char* name() const noexcept override;
    // Formats and writes the line only where the system has a debugger channel; elsewhere the
    // record is taken and dropped without the cost of formatting it.
    bool write(const LogRecord& record) noexcept override;
    // The debugger output is unbuffered: nothing to flush.
    void flush() noexcept override;

  private:
    void writeLine(const char* line, std::size_t length) noexcept override;
};

} // namespace kiv
