// Writes log lines to the process's standard error stream.
#pragma once

#include "logging/base_console_log_target.h"

namespace kiv {

class StdErrLogTarget final : public BaseConsoleLogTarget {
  public:
    const char* name() const noexcept override;
    void flush() noexcept override;

  private:
    void writeLine(const char* line, std::size_t length) noexcept override;
};

} // namespace kiv
