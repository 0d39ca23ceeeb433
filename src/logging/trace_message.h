// The trace points of the framework and of the service ("%s: Subscribing to event: %s" and the
// like). Release builds discard them; the format is still checked against the arguments.
#pragma once

#include "logging/printf_checked.h"

namespace kiv {

KIV_PRINTF_CHECKED(1, 2) inline void traceMessage(const char* /*format*/, ...) noexcept {}

} // namespace kiv
