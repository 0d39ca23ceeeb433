// The attached debugger's output window, where there is such a thing.
#pragma once

namespace kiv::platform {

// Hands a NUL-terminated text to the debugger's output. Where the system has no such channel
// the text is dropped.
void writeDebuggerOutput(const char* text) noexcept;

// Whether the system has a debugger output channel at all, so that callers can skip preparing
// texts that would only be dropped.
bool hasDebuggerOutput() noexcept;

} // namespace kiv::platform
