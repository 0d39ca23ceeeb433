// The number-reading rules shared by native conversion and the YAML reader. Texts are read
// within their length (no NUL is needed), in the C locale whatever the process's locale is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiv {

// What reading a whole text as a number gave.
enum class NumberReading {
    Ok,
    OutOfRange,      // the number does not fit the target range, or the reading overflowed
    IncorrectFormat, // characters remain after the number
};

// strtoll-style prefix reading with automatic base: leading white space, an optional sign,
// "0x"/"0X" hexadecimal, a leading "0" octal, else decimal. `consumed` is 0 when no number
// was found (then value is 0). On overflow the value is clamped and `overflow` set.
struct IntegerPrefix {
    std::int64_t value = 0;
    std::size_t consumed = 0;
    bool overflow = false;
};
IntegerPrefix readSignedPrefix(std::string_view text) noexcept;

struct UnsignedPrefix {
    std::uint64_t value = 0;
    std::size_t consumed = 0;
    bool overflow = false;
    bool negative = false; // a minus sign was read
};
UnsignedPrefix readUnsignedPrefix(std::string_view text) noexcept;

// strtod-style prefix reading: white space, sign, decimal or hexadecimal floating syntax,
// "inf"/"infinity"/"nan" spellings. `rangeError` reports overflow or underflow.
struct DoublePrefix {
    double value = 0.0;
    std::size_t consumed = 0;
    bool rangeError = false;
};
DoublePrefix readDoublePrefix(std::string_view text) noexcept;

// Whole-text readings with a target range. An empty text reads as 0 (nothing remains after
// an empty parse). Remaining characters give IncorrectFormat, checked before the range.
NumberReading readSigned(std::string_view text, std::int64_t min, std::int64_t max,
                         std::int64_t& out) noexcept;
// A text that starts with "-" (after white space) is OutOfRange.
NumberReading readUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) noexcept;
NumberReading readDouble(std::string_view text, double min, double max, double& out) noexcept;

} // namespace kiv
