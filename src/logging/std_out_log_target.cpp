#include "logging/std_out_log_target.h"

#include <cstdio>
#include <mutex>

namespace kiv {

const char* StdOutLogTarget::name() const noexcept {
    return "StdOutLogTarget";
}

void StdOutLogTarget::flush() noexcept {
    std::fflush(stdout);
}

void StdOutLogTarget::setFlushEachLine(bool flushEachLine) noexcept {
    std::lock_guard lock(targetLock());
    flushEachLine_ = flushEachLine;
}

void StdOutLogTarget::writeLine(const char* line, std::size_t length) noexcept {
    std::fwrite(line, 1, length, stdout);
    if (flushEachLine_) {
        flush();
    }
}

} // namespace kiv
