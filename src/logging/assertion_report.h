// Reports of conditions the library cannot continue from: a multi-line text naming the failed
// expression or error code, where it happened and why, logged as an error. The caller decides
// what happens next.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

// Where and why an assertion failed. Texts may be null or empty and `line` 0 when unknown; such
// pieces are left out of the report.
struct AssertionSite {
    const char* expression = nullptr;
    const char* description = nullptr;
    const char* file = nullptr;
    std::int32_t line = 0;
    const char* function = nullptr;
};

// Writes the report into `out` (`size` bytes with the terminator, cut when longer):
//   "Assertion failed!\n\n" "File: <file>\n" "Line: <line>\n\n" "Function: <function>\n\n"
//   "Expression: <expression>" "\n\nDescription: <description>"
// Returns the number of characters written.
std::size_t formatAssertionReport(char* out, std::size_t size, const AssertionSite& site) noexcept;

// Logs the report at the error level in the group DBG.
void reportAssertion(const AssertionSite& site) noexcept;

} // namespace kiv
