#include "logging/log_message.h"

#include "logging/log_service.h"

#include <cstdarg>

namespace kiv {

void LogMessage(LogLevel level, std::uint64_t groups, const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    LogService::log(level, groups, format, arguments);
    va_end(arguments);
}

} // namespace kiv
