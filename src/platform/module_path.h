// Where the running process's executable lives.
#pragma once

#include <cstddef>

namespace kiv::platform {

// Writes the full path of the process's executable into `buffer` (at most `size` bytes, always
// NUL-terminated when size > 0; a longer path is cut). Returns the number of characters written,
// 0 when the path cannot be read.
std::size_t executablePath(char* buffer, std::size_t size) noexcept;

} // namespace kiv::platform
