// A condition the library cannot continue from is reported through the log service, not by
// stopping here: the report then reaches every target the host attached, its own log among them,
// and only the caller knows whether the process can go on.
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

// Writes the report into `out` (`size` bytes with the terminator, cut when longer) and returns its
// length. Apart from the logging, so that the text does not depend on which targets are attached.
std::size_t formatAssertionReport(char* out, std::size_t size, const AssertionSite& site) noexcept;

// Logs the report at the error level in the group DBG.
void reportAssertion(const AssertionSite& site) noexcept;

} // namespace kiv
