#include "logging/log_level.h"

namespace kiv {

const char* logLevelLabel(LogLevel level) noexcept {
    switch (level) {
    case LogLevel::Okay:
        return "  OKAY";
    case LogLevel::Warn:
        return "  WARN";
    case LogLevel::Error:
        return " ERROR";
    case LogLevel::Always:
        return "ALWAYS";
    }
    return "??????";
}

} // namespace kiv
