// The system's identifier of the calling thread.
#pragma once

#include <cstdint>

namespace kiv::platform {

// The kernel's 32-bit thread identifier (the one debuggers and tracing tools show).
std::uint32_t currentThreadId() noexcept;

} // namespace kiv::platform
