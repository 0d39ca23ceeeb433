#include "logging/std_err_log_target.h"

#include <cstdio>

namespace kiv {

const char* StdErrLogTarget::name() const noexcept {
    return "StdErrLogTarget";
}

void StdErrLogTarget::flush() noexcept {
    std::fflush(stderr);
}

void StdErrLogTarget::writeLine(const char* line, std::size_t length) noexcept {
    std::fwrite(line, 1, length, stderr);
}

} // namespace kiv
