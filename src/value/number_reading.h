// The number rules shared by the value tree, native conversion and the YAML reader: reading
// texts as numbers, the integer that a double stands for, and the messages of numbers that do
// not fit. Texts are read within their length (no NUL is needed), in the C locale whatever
// the process's locale is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

// As doubles, the largest 64-bit integers round up to 2^63 and 2^64, which no 64-bit integer
// holds: a double converts only when it lies below them.
inline constexpr double kTwoTo63 = 9223372036854775808.0;
inline constexpr double kTwoTo64 = 18446744073709551616.0;

// The integer that a double truncates to, when there is one: none for NaN and for values
// outside [-2^63, 2^63) or, unsigned, outside [0, 2^64) (-0.0 gives 0).
[[nodiscard]] constexpr std::optional<std::int64_t> truncateToInt64(double value) noexcept {
    if (value >= -kTwoTo63 && value < kTwoTo63) { // false for NaN
        return static_cast<std::int64_t>(value);
    }
    return std::nullopt;
}
[[nodiscard]] constexpr std::optional<std::uint64_t> truncateToUInt64(double value) noexcept {
    if (value >= 0.0 && value < kTwoTo64) {
        return static_cast<std::uint64_t>(value);
    }
    return std::nullopt;
}

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
[[nodiscard]] IntegerPrefix readSignedPrefix(std::string_view text) noexcept;

struct UnsignedPrefix {
    std::uint64_t value = 0;
    std::size_t consumed = 0;
    bool overflow = false;
    bool negative = false; // a minus sign was read
};
[[nodiscard]] UnsignedPrefix readUnsignedPrefix(std::string_view text) noexcept;

// strtod-style prefix reading: white space, sign, decimal or hexadecimal floating syntax,
// "inf"/"infinity"/"nan" spellings. `rangeError` reports overflow or underflow.
struct DoublePrefix {
    double value = 0.0;
    std::size_t consumed = 0;
    bool rangeError = false;
};
[[nodiscard]] DoublePrefix readDoublePrefix(std::string_view text) noexcept;

// Whole-text readings with a target range. An empty text reads as 0 (nothing remains after
// an empty parse). Remaining characters give IncorrectFormat, checked before the range.
[[nodiscard]] NumberReading readSigned(std::string_view text, std::int64_t min, std::int64_t max,
                                       std::int64_t& out) noexcept;
// A text that starts with "-" (after white space) is OutOfRange.
[[nodiscard]] NumberReading readUnsigned(std::string_view text, std::uint64_t max,
                                         std::uint64_t& out) noexcept;
[[nodiscard]] NumberReading readDouble(std::string_view text, double min, double max, double& out) noexcept;

// The messages of a number that does not fit its target, or of a text that is not one: %1 the
// number or the text as given, %2 the target's name, %3 the target's type.
inline constexpr std::string_view kNumberOutOfRange = "Value %1 for '%2' of type %3 is out of range";
inline constexpr std::string_view kNumberIncorrectFormat =
    "Value %1 for '%2' of type %3 is in an incorrect format";

// The message of a whole-text reading that failed; none when it succeeded.
[[nodiscard]] std::optional<std::string> numberReadingMessage(NumberReading reading, std::string_view text,
                                                              std::string_view targetName,
                                                              std::string_view typeName);

} // namespace kiv
