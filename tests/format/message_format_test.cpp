#include "format/message_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace kiv {
namespace {

struct FormatCase {
    const char* name;
    std::string templ;
    std::vector<FormatArg> args;
    std::string expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}
std::string caseName(const ::testing::TestParamInfo<FormatCase>& info) {
    return info.param.name;
}

class PositionalFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PositionalFormat, Formats) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(formatMessage(c.templ, c.args), c.expected) << c.templ;
}

const std::string kSpaces4095(4095, ' ');

INSTANTIATE_TEST_SUITE_P(
    DefaultForms, PositionalFormat,
    ::testing::Values(
        FormatCase{"TextInPlace", "Index %1 is out of range", {"15"}, "Index 15 is out of range"},
        FormatCase{"Int32", "%1", {std::int32_t{-5}}, "-5"},
        FormatCase{"UInt32", "%1", {std::uint32_t{4294967295u}}, "4294967295"},
        FormatCase{"Char", "%1", {'A'}, "A"},
        FormatCase{"Int64", "%1", {std::numeric_limits<std::int64_t>::min()}, "-9223372036854775808"},
        FormatCase{"UInt64", "%1", {std::numeric_limits<std::uint64_t>::max()}, "18446744073709551615"},
        FormatCase{"Double", "%1 %2", {1.5, 1e20}, "1.5 1e+20"},
        FormatCase{"Object", "v%1", {FormatArg::object("18.0.0")}, "v18.0.0"},
        FormatCase{"ReusedAndReordered", "%2-%1-%2", {"a", "b"}, "b-a-b"},
        FormatCase{"TextNotTerminated", "[%1]", {std::string_view("hello world", 5)}, "[hello]"},
        FormatCase{"DigitsAfterNumberAreText", "%1d", {42}, "42d"},
        FormatCase{"LongestArgumentNumber", "%12", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, "12"},
        FormatCase{"PercentPercent", "100%%", {}, "100%"},
        FormatCase{"PercentPercentBeforeDigit", "%%1", {"x"}, "%1"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Specifications, PositionalFormat,
    ::testing::Values(
        FormatCase{"Width", "%1$5d", {42}, "   42"},
        FormatCase{"TextWithIntegerConversion", "%1$d", {"text"}, "text"},
        FormatCase{"TextPrecisionAndWidth", "[%1$.3s|%1$6s|%1$-6s]", {"abcd"}, "[abc|  abcd|abcd  ]"},
        FormatCase{"ZeroFlagDroppedForText", "%1$05s", {"ab"}, "   ab"},
        FormatCase{"Int32WithLongLongModifier", "%1$lld", {std::int32_t{42}}, "42"},
        FormatCase{"Int64WithPlainD", "%1$d", {std::int64_t{1} << 40}, "1099511627776"},
        FormatCase{"Int64WithCharModifierNarrows", "%1$hhd", {std::int64_t{300}}, "44"},
        FormatCase{"NegativeInt32AsHex", "%1$x", {std::int32_t{-1}}, "ffffffff"},
        FormatCase{"NegativeInt64AsHex", "%1$X", {std::int64_t{-1}}, "FFFFFFFFFFFFFFFF"},
        FormatCase{"UInt32AsSigned", "%1$d", {std::uint32_t{4294967295u}}, "-1"},
        FormatCase{"Octal", "%1$#o", {8}, "010"},
        FormatCase{"IntegerAsCharacter", "%1$c%2$c", {65, std::int64_t{66}}, "AB"},
        FormatCase{"CharAsNumber", "%1$d", {'A'}, "65"},
        FormatCase{"PrecisionDroppedForCharacter", "%1$.3c", {'A'}, "A"},
        FormatCase{"DoubleFixed", "%1$.2f", {3.14159}, "3.14"},
        FormatCase{"DoubleWithIntegerConversion", "%1$d", {2.5}, "2.5"},
        FormatCase{"DoubleHex", "%1$a", {1.0}, "0x1p+0"},
        FormatCase{"IntegerWithFloatingConversion", "%1$f", {7}, "7"},
        FormatCase{"SignFlags", "%1$+d %1$ d %1$+u", {5}, "+5  5 5"},
        FormatCase{"AlternateDroppedForDecimal", "%1$#d", {5}, "5"},
        FormatCase{"ZeroPadding", "%1$05d", {-42}, "-0042"},
        FormatCase{"MissingConversionTakesDefault", "%1$5 items", {42}, "   42 items"},
        FormatCase{"UnknownConversionTakesDefault", "%1$q", {42}, "42q"},
        FormatCase{"PointerConversionTakesDefault", "%1$p %1$n", {42}, "42 42"},
        FormatCase{"FiftyNineCharacterSpecification", "%1$" + std::string(58, '-') + "d|", {42}, "42|"},
        FormatCase{"SixtyCharacterSpecification", "a%1$" + std::string(59, '-') + "d|", {42}, "a"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Sequence, PositionalFormat,
    ::testing::Values(FormatCase{"PrintfStyle", "%s=%d", {"a", 5}, "a=5"},
                      FormatCase{"LengthModifiersRebuilt", "%lld %hd %ls", {1, 2, "x"}, "1 2 x"},
                      FormatCase{"WidthFromNext", "[%*d]", {5, 42}, "[   42]"},
                      FormatCase{"NegativeWidthLeftAdjusts", "[%*d]", {-5, 42}, "[42   ]"},
                      FormatCase{"PrecisionFromNext", "%.*f", {2, 3.14159}, "3.14"},
                      FormatCase{"NegativePrecisionIgnored", "%.*f", {-1, 1.5}, "1.500000"},
                      FormatCase{"WidthFromNamedArgument", "[%1$*2$d]", {42, 6}, "[    42]"},
                      FormatCase{"NamedValueWidthFromSequence", "[%2$*d]", {4, 42}, "[  42]"},
                      FormatCase{"WidthWithoutDollarIsNotAnArgument", "%10d|", {42, 7}, "        42|"},
                      FormatCase{"NumberedDirectivesDoNotAdvance", "%1 %s %s", {"a", "b"}, "a a b"},
                      FormatCase{"WidthArgumentsAdvance", "%*d %d", {3, 1, 2}, "  1 2"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    EndsFormatting, PositionalFormat,
    ::testing::Values(
        FormatCase{"ArgumentBeyondCount", "a %1 b %3 c", {"x", "y"}, "a x b "},
        FormatCase{"DollarBeyondCount", "a%3$d", {1, 2}, "a"},
        FormatCase{"SequenceBeyondCount", "%d %d", {1}, "1 "}, FormatCase{"NoArguments", "x%sy", {}, "x"},
        FormatCase{"UnknownConversion", "a%qb", {1}, "a"}, FormatCase{"TrailingPercent", "abc%", {1}, "abc"},
        FormatCase{"StarWithoutDollar", "a%*2d", {1, 2}, "a"}, FormatCase{"StarZero", "a%*0$d", {1, 2}, "a"},
        FormatCase{"StarBeyondCount", "a%*3$d", {1, 2}, "a"},
        FormatCase{"WidthFromText", "a%*d", {"5", 2}, "a"},
        FormatCase{"WidthFromDouble", "a%1$*2$d", {1, 2.0}, "a"},
        FormatCase{"SixtyCharacterPlainSpecification", "a%" + std::string(59, '-') + "d", {42}, "a"}),
    caseName);

// Widths and precisions far beyond the buffer: the output is what the buffer can show.
INSTANTIATE_TEST_SUITE_P(
    HugeFields, PositionalFormat,
    ::testing::Values(FormatCase{"LiteralWidth", "%1$2147483647d", {42}, kSpaces4095},
                      FormatCase{"SaturatedWidth", "%1$99999999999999999999d", {42}, kSpaces4095},
                      FormatCase{"ArgumentWidth", "%*d", {INT_MAX, 42}, kSpaces4095},
                      FormatCase{"MinimumArgumentWidth",
                                 "%*d",
                                 {std::numeric_limits<std::int64_t>::min(), 42},
                                 "42" + std::string(4093, ' ')},
                      FormatCase{"Precision", "%1$.2147483647d", {42}, std::string(4095, '0')},
                      FormatCase{"TextPrecision", "%1$.2147483647s", {"abc"}, "abc"}),
    caseName);

// "h" and "hh" narrow an integer as printf does, whatever the argument's own width: the reference
// is snprintf handed the value's low 32 bits as an int.
TEST(PositionalFormatNarrowing, MatchesSnprintf) {
    const std::int64_t values[] = {0,
                                   1,
                                   -1,
                                   127,
                                   128,
                                   -128,
                                   -129,
                                   255,
                                   256,
                                   32767,
                                   32768,
                                   -32769,
                                   65535,
                                   65536,
                                   70000,
                                   INT32_MAX,
                                   INT32_MIN,
                                   UINT32_MAX,
                                   (std::int64_t{1} << 40) + 70000,
                                   INT64_MIN + 200};
    struct Flags {
        const char* text;
        const char* conversions; // those for which C defines the flags
    };
    const Flags flagSets[] = {{"", "diouxX"}, {"08", "diouxX"}, {"-6", "diouxX"}, {".3", "diouxX"},
                              {"#", "oxX"},   {"+", "di"},      {" ", "di"}};
    std::vector<std::string> mismatches;
    for (const char* modifier : {"h", "hh"}) {
        for (const Flags& flags : flagSets) {
            for (const char* conversion = flags.conversions; *conversion; ++conversion) {
                const std::string spec = flags.text + std::string(modifier) + *conversion;
                for (const std::int64_t value : values) {
                    const auto low = static_cast<std::uint32_t>(value);
                    char expected[64];
                    std::snprintf(expected, sizeof expected, ("%" + spec).c_str(), static_cast<int>(low));
                    const FormatArg args[] = {value, static_cast<std::uint64_t>(value), low,
                                              static_cast<std::int32_t>(low)};
                    for (const FormatArg& arg : args) {
                        for (const std::string& templ : {"%1$" + spec, "%" + spec}) {
                            const std::string actual = formatMessage(templ, {arg});
                            if (actual != expected) {
                                mismatches.push_back(templ + " with " + std::to_string(value) + ": " +
                                                     actual + " instead of " + expected);
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " mismatches, the first: " << mismatches[0];
}

TEST(PositionalFormatBuffer, CutAtSizeMinusOne) {
    struct Case {
        std::string templ;
        std::vector<FormatArg> args;
        std::size_t size;
        std::string expected;
    };
    const Case cases[] = {
        {"abcdefghij", {}, 8, "abcdefg"},
        {"%1 and more", {"abcdefghij"}, 5, "abcd"},
        {"%1$10d", {42}, 4, "   "},
        {"ab%1", {12345}, 4, "ab1"},
        {"xyz", {}, 1, ""},
        {"%1", {1.0 / 3.0}, 6, "0.333"},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.size + 4, '#');
        const std::size_t written = formatPositional(buffer.data(), c.size, c.templ, c.args);
        EXPECT_EQ(written, c.expected.size()) << c.templ;
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.templ;
        EXPECT_EQ(std::string(buffer.data() + c.size, 4), "####") << c.templ << ": written past the size";
    }
}

TEST(PositionalFormatBuffer, ZeroSizeWritesNothing) {
    char canary = '#';
    EXPECT_EQ(formatPositional(&canary, 0, "abc", {}), 0u);
    EXPECT_EQ(canary, '#');
    EXPECT_EQ(formatPositional(nullptr, 16, "abc", {}), 0u);
}

// The template is a view: characters after its end take no part, even a directive's rest.
TEST(PositionalFormatBuffer, TemplateReadWithinItsLength) {
    const std::string text = "ab%1$5dEXTRA";
    const std::vector<FormatArg> args = {42};
    EXPECT_EQ(formatMessage(std::string_view(text).substr(0, 7), args), "ab   42");
    EXPECT_EQ(formatMessage(std::string_view(text).substr(0, 3), args), "ab");
    EXPECT_EQ(formatMessage(std::string_view(text).substr(0, 4), args), "ab42");
    EXPECT_EQ(formatMessage(std::string_view(text).substr(0, 6), args), "ab   42"); // "%1$5": default form
}

TEST(PositionalFormatBuffer, MessagesAreLimitedTo4095Bytes) {
    const std::string longText(5000, 'x');
    EXPECT_EQ(formatMessage(longText, {}).size(), kMessageBufferSize - 1);
    EXPECT_EQ(formatMessage("<%1>", {longText}), "<" + std::string(4094, 'x'));
}

} // namespace
} // namespace kiv
