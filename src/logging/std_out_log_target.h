// Writes log lines to the process's standard output stream.
#pragma once

#include "logging/base_console_log_target.h"

namespace kiv {

class StdOutLogTarget final : public BaseConsoleLogTarget {
  public:
    const char* name() const noexcept override;
    void flush() noexcept override;

    // Whether every line is flushed as soon as it is written (off in the service's own target).
    void setFlushEachLine(bool flushEachLine) noexcept;

  private:
    void writeLine(const char* line, std::size_t length) noexcept override;

    bool flushEachLine_ = false;
};

} // namespace kiv
