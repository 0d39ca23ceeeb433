// The common part of the targets that write finished lines to a console-like stream.
#pragma once

#include "logging/log_target.h"

#include <cstddef>

namespace kiv {

class BaseConsoleLogTarget : public LogTarget {
  public:
    ~BaseConsoleLogTarget() override;

    const char* name() const noexcept override;
    // Formats the record with the target's template and hands the line over in one piece.
    bool write(const LogRecord& record) noexcept override;
    virtual void flush() noexcept = 0;

  protected:
    BaseConsoleLogTarget() = default;

    // Writes one finished line (ending in a line break) to the destination, in one call.
    virtual void writeLine(const char* line, std::size_t length) noexcept = 0;
};

} // namespace kiv
