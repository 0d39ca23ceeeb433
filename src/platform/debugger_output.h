// The attached debugger's output window, where there is such a thing.
#pragma once

namespace kiv::platform {

// Hands a NUL-terminated text to the debugger's output. Where the system has no such channel
// the text is dropped.
void writeDebuggerOutput(const char* text) noexcept;

} // namespace kiv::platform
