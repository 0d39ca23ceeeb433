// Number reading within a text's length, in the C locale. The syntax (white space, sign,
// base prefixes, infinity and NaN spellings) is read here; std::from_chars does the digit
// work, which is exact, locale-independent and never looks past the end it is given.
#include "value/number_reading.h"
#include "platform/ascii.h"

#include "format/message_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kiv {
namespace {

bool isHexDigit(char c) noexcept {
    return platform::isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
unsigned hexDigitValue(char c) noexcept {
    if (platform::isAsciiDigit(c)) {
        return static_cast<unsigned>(c - '0');
    }
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}
char toLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}

// The position after leading white space and an optional sign.
struct SignedStart {
    const char* digits;
    bool negative;
};
SignedStart skipSpaceAndSign(const char* p, const char* end) noexcept {
    while (p != end && platform::isAsciiSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    return {p, negative};
}

bool hasHexPrefix(const char* p, const char* end) noexcept {
    return end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

// The magnitude of an integer with automatic base; `consumed` counts from `begin`.
struct Magnitude {
    std::uint64_t value = 0;
    std::size_t consumed = 0;
    bool overflow = false;
    bool negative = false;
};
Magnitude readMagnitude(std::string_view text) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const SignedStart start = skipSpaceAndSign(begin, end);
    const char* p = start.digits;
    int base = 10;
    if (hasHexPrefix(p, end) && end - p > 2 && isHexDigit(p[2])) {
        base = 16;
        p += 2;
    } else if (p != end && *p == '0') {
        base = 8; // the leading 0 is itself an octal digit
    }
    Magnitude magnitude;
    const auto [stop, error] = std::from_chars(p, end, magnitude.value, base);
    if (stop == p) {
        return {}; // no digits: nothing is consumed, not even the white space or the sign
    }
    magnitude.consumed = static_cast<std::size_t>(stop - begin);
    magnitude.overflow = error == std::errc::result_out_of_range;
    magnitude.negative = start.negative;
    return magnitude;
}

// "inf", "infinity" or "nan" with an optional "(n-char-sequence)", case-insensitive.
// Returns the length of the spelling at `p`, 0 when there is none.
std::size_t specialSpellingLength(const char* p, const char* end, double& value) noexcept {
    const auto startsWith = [&](std::string_view word) {
        if (static_cast<std::size_t>(end - p) < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (toLower(p[i]) != word[i]) {
                return false;
            }
        }
        return true;
    };
    if (startsWith("inf")) {
        value = std::numeric_limits<double>::infinity();
        return startsWith("infinity") ? 8 : 3;
    }
    if (!startsWith("nan")) {
        return 0;
    }
    value = std::numeric_limits<double>::quiet_NaN();
    const char* q = p + 3;
    if (q == end || *q != '(') {
        return 3;
    }
    for (++q; q != end; ++q) {
        if (*q == ')') {
            return static_cast<std::size_t>(q + 1 - p);
        }
        if (!(platform::isAsciiDigit(*q) || (toLower(*q) >= 'a' && toLower(*q) <= 'z') || *q == '_')) {
            break;
        }
    }
    return 3; // no closing parenthesis: only "nan" is part of the number
}

// Where the significant digits of a floating text lie, as powers of its digit base, so that
// an out-of-range reading can be told apart as overflow or underflow and a subnormal hex
// reading can be checked for exactness. Saturates far beyond any double exponent.
struct SignificandShape {
    std::int64_t leadPower = 0; // power of the most significant non-zero digit
    std::int64_t lastPower = 0; // power of the least significant non-zero digit
    unsigned lastDigit = 0;
    std::int64_t exponent = 0; // the written exponent (of 10, or of 2 for hex)
};
constexpr std::int64_t kExponentLimit = std::int64_t{1} << 40;

// `p` to `end` is exactly the floating syntax that was read (no sign), so the exponent, when
// present, is a marker, an optional sign and digits.
SignificandShape shapeOf(const char* p, const char* end, bool hex) noexcept {
    SignificandShape shape;
    std::int64_t integerDigits = 0;
    std::int64_t index = 0; // digits read so far, integer and fraction
    std::int64_t leadIndex = -1;
    bool seenPoint = false;
    for (; p != end; ++p) {
        if (*p == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (!(hex ? isHexDigit(*p) : platform::isAsciiDigit(*p))) {
            break;
        }
        const unsigned digit = hexDigitValue(*p);
        if (!seenPoint) {
            ++integerDigits;
        }
        if (digit != 0) {
            if (leadIndex < 0) {
                leadIndex = index;
            }
            shape.lastPower = index;
            shape.lastDigit = digit;
        }
        ++index;
    }
    // Digit i has the power integerDigits - 1 - i.
    shape.leadPower = integerDigits - 1 - leadIndex;
    shape.lastPower = integerDigits - 1 - shape.lastPower;
    if (p == end) {
        return shape;
    }
    bool negative = false;
    if (++p != end && (*p == '+' || *p == '-')) {
        negative = *p++ == '-';
    }
    for (; p != end; ++p) {
        shape.exponent = std::min(kExponentLimit, shape.exponent * 10 + (*p - '0'));
    }
    if (negative) {
        shape.exponent = -shape.exponent;
    }
    return shape;
}

// Reads the unsigned floating syntax at `p` (decimal, or hexadecimal after a "0x" prefix).
DoublePrefix readUnsignedFloating(const char* p, const char* end) noexcept {
    DoublePrefix result;
    const bool hex = hasHexPrefix(p, end) && end - p > 2 &&
                     (isHexDigit(p[2]) || (p[2] == '.' && end - p > 3 && isHexDigit(p[3])));
    const char* digits = hex ? p + 2 : p;
    const auto [stop, error] =
        std::from_chars(digits, end, result.value, hex ? std::chars_format::hex : std::chars_format::general);
    if (stop == digits) {
        return {};
    }
    result.consumed = static_cast<std::size_t>(stop - p);
    // Range questions are rare; only they need the significand's shape.
    const std::int64_t digitScale = hex ? 4 : 1; // a hex digit is four binary places
    if (error == std::errc::result_out_of_range) {
        const SignificandShape shape = shapeOf(digits, stop, hex);
        const bool overflow = shape.leadPower * digitScale + shape.exponent >= 0;
        result.value = overflow ? HUGE_VAL : 0.0;
        result.rangeError = true;
    } else if (std::fpclassify(result.value) == FP_SUBNORMAL) {
        // Like strtod, a subnormal result is a range error only when it is inexact. A decimal
        // text lands exactly on a subnormal only with hundreds of digits; it counts as inexact.
        bool exact = false;
        if (hex) {
            constexpr int kLowestBinaryPlace =
                std::numeric_limits<double>::min_exponent - std::numeric_limits<double>::digits; // -1074
            const SignificandShape shape = shapeOf(digits, stop, hex);
            const int lowBit = std::countr_zero(shape.lastDigit);
            exact = shape.lastPower * digitScale + lowBit + shape.exponent >= kLowestBinaryPlace;
        }
        result.rangeError = !exact;
    }
    return result;
}

} // namespace

IntegerPrefix readSignedPrefix(std::string_view text) noexcept {
    const Magnitude magnitude = readMagnitude(text);
    IntegerPrefix result;
    result.consumed = magnitude.consumed;
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
    if (magnitude.negative) {
        result.overflow = magnitude.overflow || magnitude.value > kMaxPositive + 1;
        result.value = result.overflow ? std::numeric_limits<std::int64_t>::min()
                                       : static_cast<std::int64_t>(0 - magnitude.value);
    } else {
        result.overflow = magnitude.overflow || magnitude.value > kMaxPositive;
        result.value = result.overflow ? std::numeric_limits<std::int64_t>::max()
                                       : static_cast<std::int64_t>(magnitude.value);
    }
    return result;
}

UnsignedPrefix readUnsignedPrefix(std::string_view text) noexcept {
    const Magnitude magnitude = readMagnitude(text);
    UnsignedPrefix result;
    result.consumed = magnitude.consumed;
    result.overflow = magnitude.overflow;
    result.negative = magnitude.negative;
    // As strtoull does, a minus sign negates the magnitude in unsigned arithmetic.
    if (magnitude.overflow) {
        result.value = std::numeric_limits<std::uint64_t>::max();
    } else {
        result.value = magnitude.negative ? 0 - magnitude.value : magnitude.value;
    }
    return result;
}

DoublePrefix readDoublePrefix(std::string_view text) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const SignedStart start = skipSpaceAndSign(begin, end);
    const char* p = start.digits;
    DoublePrefix result;
    if (p != end &&
        (platform::isAsciiDigit(*p) || (*p == '.' && end - p > 1 && platform::isAsciiDigit(p[1])))) {
        result = readUnsignedFloating(p, end);
    } else if (const std::size_t length = specialSpellingLength(p, end, result.value); length != 0) {
        result.consumed = length;
    }
    if (result.consumed == 0) {
        return {};
    }
    result.consumed += static_cast<std::size_t>(p - begin);
    if (start.negative) {
        result.value = -result.value;
    }
    return result;
}

NumberReading readSigned(std::string_view text, std::int64_t min, std::int64_t max,
                         std::int64_t& out) noexcept {
    const IntegerPrefix prefix = readSignedPrefix(text);
    if (prefix.consumed != text.size()) {
        return NumberReading::IncorrectFormat;
    }
    if (prefix.overflow || prefix.value < min || prefix.value > max) {
        return NumberReading::OutOfRange;
    }
    out = prefix.value;
    return NumberReading::Ok;
}

NumberReading readUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) noexcept {
    const UnsignedPrefix prefix = readUnsignedPrefix(text);
    if (prefix.consumed != text.size()) {
        return NumberReading::IncorrectFormat;
    }
    if (prefix.negative || prefix.overflow || prefix.value > max) {
        return NumberReading::OutOfRange;
    }
    out = prefix.value;
    return NumberReading::Ok;
}

NumberReading readDouble(std::string_view text, double min, double max, double& out) noexcept {
    const DoublePrefix prefix = readDoublePrefix(text);
    if (prefix.consumed != text.size()) {
        return NumberReading::IncorrectFormat;
    }
    if (prefix.rangeError || prefix.value < min || prefix.value > max) {
        return NumberReading::OutOfRange;
    }
    out = prefix.value;
    return NumberReading::Ok;
}

std::optional<std::string> numberReadingMessage(NumberReading reading, std::string_view text,
                                                std::string_view targetName, std::string_view typeName) {
    switch (reading) {
    case NumberReading::Ok:
        return std::nullopt;
    case NumberReading::IncorrectFormat:
        return formatMessage(kNumberIncorrectFormat, {text, targetName, typeName});
    case NumberReading::OutOfRange:
        break;
    }
    return formatMessage(kNumberOutOfRange, {text, targetName, typeName});
}

} // namespace kiv
