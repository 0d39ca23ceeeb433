#include "platform/saturating.h"
#include "value/number_reading.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace kiv {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::uint64_t kUInt32Max = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kUInt64Max = std::numeric_limits<std::uint64_t>::max();
constexpr double kDoubleMax = std::numeric_limits<double>::max();

// Texts on which the prefix readings must agree with the C library (in the C locale, which
// a test process runs in): every syntax corner of strtoll, strtoull and strtod.
const char* const kPrefixTexts[] = {
    "",
    " ",
    "+",
    "-",
    "0",
    "-0",
    "+7",
    "12",
    " 12",
    "\t\n\v\f\r12",
    "12 ",
    "12abc",
    "0x10",
    "0X1f",
    "0x",
    "0xg",
    "-0x10",
    "010",
    "08",
    "09",
    "0",
    "00",
    "2147483648",
    "-2147483649",
    "9223372036854775807",
    "9223372036854775808",
    "-9223372036854775808",
    "-9223372036854775809",
    "18446744073709551615",
    "18446744073709551616",
    "-18446744073709551615",
    "-18446744073709551616",
    "0xFFFFFFFFFFFFFFFF",
    "0x10000000000000000",
    "0777777777777777777777",
    "01777777777777777777777",
    "02000000000000000000000",
    "99999999999999999999999999999",
    "+-1",
    "- 1",
    "1.5",
    "1e3",
    ".5",
    "5.",
    ".",
    ".e1",
    "-.5",
    "1e",
    "1e+",
    "1e-",
    "1e+5x",
    "1E5",
    "1.5e-3",
    "00000.1e1",
    "1_000",
    "inf",
    "-inf",
    "INF",
    "Infinity",
    "infinit",
    "infinityx",
    "nan",
    "-nan",
    "NaN",
    "nan()",
    "nan(123abc_)",
    "nan(",
    "nan(1 2)",
    "nanx",
    "in",
    "1e308",
    "1e309",
    "1e400",
    "-1e400",
    "1.7976931348623157e308",
    "1.7976931348623159e308",
    "2.2250738585072014e-308",
    "2.2250738585072011e-308",
    "4.9e-324",
    "2e-324",
    "1e-320",
    "1e-400",
    "-1e-400",
    "0e99999999999999999999",
    "1e99999999999999999999",
    "1e-99999999999999999999",
    "0x1p3",
    "0x1.8p1",
    "0x.8",
    "0x.",
    "0x.p1",
    "0xp1",
    "0x1p",
    "0x1p+",
    "0x1P-2",
    "-0x1.8p3",
    "0x1p-1022",
    "0x1p-1074",
    "0x1p-1070",
    "0x1.8p-1070",
    "0x1.8p-1075",
    "0x1p-1075",
    "0x1p-1080",
    "0x3p-1075",
    "0x1p1023",
    "0x1p1024",
    "0x1.fffffffffffffp1023",
    "0x1.fffffffffffff8p1023",
    "0x0.0000000000001p-1022",
    "0x10p-1078",
    "0x1p99999999999999999999",
    "0x0p99999999999",
    "123456789012345678901234567890",
    "0.000000000000000000000000000001",
};

std::string caseName(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Compares the three prefix readings of one NUL-terminated text with the C library's.
void expectSameAsCLibrary(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long signedExpected = std::strtoll(text, &end, 0);
    const IntegerPrefix signedGot = readSignedPrefix(text);
    EXPECT_EQ(signedGot.value, signedExpected) << caseName(text);
    EXPECT_EQ(signedGot.consumed, static_cast<std::size_t>(end - text)) << caseName(text);
    EXPECT_EQ(signedGot.overflow, errno == ERANGE) << caseName(text);

    errno = 0;
    const unsigned long long unsignedExpected = std::strtoull(text, &end, 0);
    const UnsignedPrefix unsignedGot = readUnsignedPrefix(text);
    EXPECT_EQ(unsignedGot.value, unsignedExpected) << caseName(text);
    EXPECT_EQ(unsignedGot.consumed, static_cast<std::size_t>(end - text)) << caseName(text);
    EXPECT_EQ(unsignedGot.overflow, errno == ERANGE) << caseName(text);

    errno = 0;
    const double doubleExpected = std::strtod(text, &end);
    const bool rangeError = errno == ERANGE;
    const DoublePrefix doubleGot = readDoublePrefix(text);
    if (std::isnan(doubleExpected)) {
        EXPECT_TRUE(std::isnan(doubleGot.value)) << caseName(text);
    } else { // bit-exact: the last place of the rounding counts
        EXPECT_EQ(doubleGot.value, doubleExpected) << caseName(text);
    }
    EXPECT_EQ(std::signbit(doubleGot.value), std::signbit(doubleExpected)) << caseName(text);
    EXPECT_EQ(doubleGot.consumed, static_cast<std::size_t>(end - text)) << caseName(text);
    EXPECT_EQ(doubleGot.rangeError, rangeError) << caseName(text);
}

TEST(NumberPrefix, AgreesWithTheCLibraryOnSyntaxCorners) {
    for (const char* text : kPrefixTexts) {
        expectSameAsCLibrary(text);
    }
}

// Random texts over the characters of every number syntax, with a fixed seed.
TEST(NumberPrefix, AgreesWithTheCLibraryOnRandomTexts) {
    constexpr std::string_view kAlphabet = "0000111789.eEpPxXaAfF+-  infINFty()_";
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> length(1, 14);
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    for (int i = 0; i < 50000 && !HasFailure(); ++i) {
        std::string text(length(random), ' ');
        for (char& c : text) {
            c = kAlphabet[pick(random)];
        }
        expectSameAsCLibrary(text.c_str());
    }
}

TEST(NumberPrefix, NegativeUnsignedIsFlagged) {
    EXPECT_TRUE(readUnsignedPrefix("-1").negative);
    EXPECT_TRUE(readUnsignedPrefix("  -0x1").negative);
    EXPECT_FALSE(readUnsignedPrefix("1").negative);
    EXPECT_FALSE(readUnsignedPrefix("-").negative); // no number was read
}

// The texts are views into longer buffers: nothing after the view's end may take part.
TEST(NumberPrefix, ReadsOnlyWithinTheLength) {
    const std::string buffer = "123456e7 0x1f";
    EXPECT_EQ(readSignedPrefix(std::string_view(buffer).substr(0, 3)).value, 123);
    EXPECT_EQ(readUnsignedPrefix(std::string_view(buffer).substr(0, 2)).consumed, 2u);
    const DoublePrefix cutBeforeExponent = readDoublePrefix(std::string_view(buffer).substr(0, 7));
    EXPECT_EQ(cutBeforeExponent.value, 123456.0);
    EXPECT_EQ(cutBeforeExponent.consumed, 6u);
    EXPECT_EQ(readSignedPrefix(std::string_view(buffer).substr(9, 3)).value, 1);     // "0x1"
    EXPECT_EQ(readSignedPrefix(std::string_view(buffer).substr(9, 2)).consumed, 1u); // "0x" reads the 0
    EXPECT_EQ(readDoublePrefix(std::string_view("nan(12)", 6)).consumed, 3u);        // no closing parenthesis
    EXPECT_EQ(readDoublePrefix(std::string_view("infinity", 5)).consumed, 3u);
}

struct SignedCase {
    const char* text;
    std::int64_t min;
    std::int64_t max;
    NumberReading expected;
    std::int64_t value;
};

TEST(NumberReadingWhole, Signed) {
    const SignedCase cases[] = {
        {"0x10", kInt32Min, kInt32Max, NumberReading::Ok, 16},
        {"010", kInt32Min, kInt32Max, NumberReading::Ok, 8},
        {"2147483647", kInt32Min, kInt32Max, NumberReading::Ok, kInt32Max},
        {"2147483648", kInt32Min, kInt32Max, NumberReading::OutOfRange, 0},
        {"-2147483648", kInt32Min, kInt32Max, NumberReading::Ok, kInt32Min},
        {"-2147483649", kInt32Min, kInt32Max, NumberReading::OutOfRange, 0},
        {"12 ", kInt32Min, kInt32Max, NumberReading::IncorrectFormat, 0},
        {" 12", kInt32Min, kInt32Max, NumberReading::Ok, 12},
        {"", kInt32Min, kInt32Max, NumberReading::Ok, 0},
        {" ", kInt32Min, kInt32Max, NumberReading::IncorrectFormat, 0},
        {"-", kInt32Min, kInt32Max, NumberReading::IncorrectFormat, 0},
        {"12x", kInt64Min, kInt64Max, NumberReading::IncorrectFormat, 0},
        {"08", kInt64Min, kInt64Max, NumberReading::IncorrectFormat, 0},
        {"1.0", kInt64Min, kInt64Max, NumberReading::IncorrectFormat, 0},
        {"9223372036854775807", kInt64Min, kInt64Max, NumberReading::Ok, kInt64Max},
        {"9223372036854775808", kInt64Min, kInt64Max, NumberReading::OutOfRange, 0},
        {"-9223372036854775808", kInt64Min, kInt64Max, NumberReading::Ok, kInt64Min},
        {"99999999999999999999x", kInt64Min, kInt64Max, NumberReading::IncorrectFormat, 0},
        {"128", -128, 127, NumberReading::OutOfRange, 0},
        {"-0x80", -128, 127, NumberReading::Ok, -128},
    };
    for (const SignedCase& c : cases) {
        std::int64_t out = -77;
        EXPECT_EQ(readSigned(c.text, c.min, c.max, out), c.expected) << caseName(c.text);
        EXPECT_EQ(out, c.expected == NumberReading::Ok ? c.value : -77) << caseName(c.text);
    }
}

TEST(NumberReadingWhole, EmbeddedNulIsARemainingCharacter) {
    std::int64_t signedOut = 0;
    EXPECT_EQ(readSigned(std::string_view("12\0", 3), kInt64Min, kInt64Max, signedOut),
              NumberReading::IncorrectFormat);
    double doubleOut = 0;
    EXPECT_EQ(readDouble(std::string_view("1.5\0", 4), -kDoubleMax, kDoubleMax, doubleOut),
              NumberReading::IncorrectFormat);
}

struct UnsignedCase {
    const char* text;
    std::uint64_t max;
    NumberReading expected;
    std::uint64_t value;
};

TEST(NumberReadingWhole, Unsigned) {
    const UnsignedCase cases[] = {
        {"4294967295", kUInt32Max, NumberReading::Ok, kUInt32Max},
        {"4294967296", kUInt32Max, NumberReading::OutOfRange, 0},
        {"0xFFFFFFFF", kUInt32Max, NumberReading::Ok, kUInt32Max},
        {"-1", kUInt32Max, NumberReading::OutOfRange, 0},
        // strtoull reads these as 2^64 - 1; a minus sign never gives a valid unsigned number.
        {"-1", kUInt64Max, NumberReading::OutOfRange, 0},
        {" -1", kUInt64Max, NumberReading::OutOfRange, 0},
        {"-0", kUInt64Max, NumberReading::OutOfRange, 0},
        {"-1x", kUInt64Max, NumberReading::IncorrectFormat, 0},
        {"18446744073709551615", kUInt64Max, NumberReading::Ok, kUInt64Max},
        {"18446744073709551616", kUInt64Max, NumberReading::OutOfRange, 0},
        {"+5", kUInt64Max, NumberReading::Ok, 5},
        {"", kUInt64Max, NumberReading::Ok, 0},
        {"12 ", kUInt64Max, NumberReading::IncorrectFormat, 0},
        {" 12", kUInt64Max, NumberReading::Ok, 12},
        {"255", 255, NumberReading::Ok, 255},
        {"0400", 255, NumberReading::OutOfRange, 0},
    };
    for (const UnsignedCase& c : cases) {
        std::uint64_t out = 77;
        EXPECT_EQ(readUnsigned(c.text, c.max, out), c.expected) << caseName(c.text);
        EXPECT_EQ(out, c.expected == NumberReading::Ok ? c.value : 77) << caseName(c.text);
    }
}

struct DoubleCase {
    const char* text;
    double min;
    double max;
    NumberReading expected;
    double value;
};

TEST(NumberReadingWhole, Double) {
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const DoubleCase cases[] = {
        {"1.5", -kDoubleMax, kDoubleMax, NumberReading::Ok, 1.5},
        {"", -kDoubleMax, kDoubleMax, NumberReading::Ok, 0.0},
        {" 2e3", -kDoubleMax, kDoubleMax, NumberReading::Ok, 2000.0},
        {"2e3 ", -kDoubleMax, kDoubleMax, NumberReading::IncorrectFormat, 0.0},
        {"0x1.8p1", -kDoubleMax, kDoubleMax, NumberReading::Ok, 3.0},
        {"1e400", -kDoubleMax, kDoubleMax, NumberReading::OutOfRange, 0.0},
        {"-1e400", -kInf, kInf, NumberReading::OutOfRange, 0.0}, // overflow is a range error
        {"1e-400", -kDoubleMax, kDoubleMax, NumberReading::OutOfRange, 0.0},
        {"0x1p-1074", -kDoubleMax, kDoubleMax, NumberReading::Ok, 0x1p-1074}, // exact subnormal
        {"inf", -kDoubleMax, kDoubleMax, NumberReading::OutOfRange, 0.0},
        {"-Infinity", -kInf, kInf, NumberReading::Ok, -kInf},
        {"3.5e38", -kFloatMax, kFloatMax, NumberReading::OutOfRange, 0.0},
        {"3.4e38", -kFloatMax, kFloatMax, NumberReading::Ok, 3.4e38},
        {"1e400x", -kDoubleMax, kDoubleMax, NumberReading::IncorrectFormat, 0.0},
        {"abc", -kDoubleMax, kDoubleMax, NumberReading::IncorrectFormat, 0.0},
    };
    for (const DoubleCase& c : cases) {
        double out = 77.0;
        EXPECT_EQ(readDouble(c.text, c.min, c.max, out), c.expected) << caseName(c.text);
        EXPECT_EQ(out, c.expected == NumberReading::Ok ? c.value : 77.0) << caseName(c.text);
    }
}

TEST(NumberReadingWhole, NanIsReadAndPassesTheRange) {
    double out = 0.0;
    EXPECT_EQ(readDouble("nan", -kDoubleMax, kDoubleMax, out), NumberReading::Ok);
    EXPECT_TRUE(std::isnan(out));
    EXPECT_EQ(readDouble("nan(x)y", -kDoubleMax, kDoubleMax, out), NumberReading::IncorrectFormat);
}

// Hundreds of thousands of digits are read without trouble and with the right rounding.
TEST(NumberReadingWhole, VeryLongTexts) {
    std::string digits(200000, '9');
    std::int64_t signedOut = 0;
    EXPECT_EQ(readSigned(digits, kInt64Min, kInt64Max, signedOut), NumberReading::OutOfRange);
    double doubleOut = 0.0;
    EXPECT_EQ(readDouble(digits, -kDoubleMax, kDoubleMax, doubleOut), NumberReading::OutOfRange);
    const std::string tiny = "0." + std::string(200000, '0') + "1";
    EXPECT_EQ(readDouble(tiny, -kDoubleMax, kDoubleMax, doubleOut), NumberReading::OutOfRange);
    const std::string one = "1." + std::string(200000, '0');
    EXPECT_EQ(readDouble(one, -kDoubleMax, kDoubleMax, doubleOut), NumberReading::Ok);
    EXPECT_EQ(doubleOut, 1.0);
}

// The integer a double stands for, at every edge of the 64-bit ranges.
TEST(DoubleToInteger, EdgesOfTheIntegerRanges) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kBelowTwoTo63 = 9223372036854774784.0; // the largest double below 2^63
    constexpr double kBelowTwoTo64 = 18446744073709549568.0;
    using Signed = std::optional<std::int64_t>;
    using Unsigned = std::optional<std::uint64_t>;
    struct Case {
        double value;
        Signed asSigned;
        Unsigned asUnsigned;
        std::int64_t saturated;
    };
    const Case cases[] = {
        {0.0, 0, 0u, 0},
        {-0.0, 0, 0u, 0},
        {2.9, 2, 2u, 2},
        {-2.9, -2, std::nullopt, -2},
        {-0.5, 0, std::nullopt, 0},
        {kBelowTwoTo63, 9223372036854774784, 9223372036854774784u, 9223372036854774784},
        {9223372036854775808.0, std::nullopt, 9223372036854775808u, kInt64Max},
        {-9223372036854775808.0, kInt64Min, std::nullopt, kInt64Min},
        {-9223372036854777856.0, std::nullopt, std::nullopt, kInt64Min}, // the next double below -2^63
        {kBelowTwoTo64, std::nullopt, 18446744073709549568u, kInt64Max},
        {18446744073709551616.0, std::nullopt, std::nullopt, kInt64Max},
        {kInf, std::nullopt, std::nullopt, kInt64Max},
        {-kInf, std::nullopt, std::nullopt, kInt64Min},
        {kNan, std::nullopt, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(truncateToInt64(c.value), c.asSigned);
        EXPECT_EQ(truncateToUInt64(c.value), c.asUnsigned);
        EXPECT_EQ(platform::saturatingTruncate<std::int64_t>(c.value), c.saturated);
    }
}

TEST(NumberReadingMessage, NamesTheTextTheTargetAndItsType) {
    EXPECT_EQ(numberReadingMessage(NumberReading::Ok, "12", "x", "int32"), std::nullopt);
    EXPECT_EQ(numberReadingMessage(NumberReading::OutOfRange, "300", "x", "uint8"),
              "Value 300 for 'x' of type uint8 is out of range");
    EXPECT_EQ(numberReadingMessage(NumberReading::IncorrectFormat, "12%1x", "yaml", "int64_t"),
              "Value 12%1x for 'yaml' of type int64_t is in an incorrect format");
}

} // namespace
} // namespace kiv
