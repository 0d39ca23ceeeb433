#include "format/named_format.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kiv {
namespace {

struct NamedCase {
    const char* name;
    const char* templ;
    std::vector<NamedValue> values;
    std::string expected;
    NamedDetails details;
};

void PrintTo(const NamedCase& c, std::ostream* os) {
    *os << c.name;
}
std::string namedCaseName(const ::testing::TestParamInfo<NamedCase>& info) {
    return info.param.name;
}

class NamedExpansion : public ::testing::TestWithParam<NamedCase> {};

TEST_P(NamedExpansion, ExpandsAndRecords) {
    const NamedCase& c = GetParam();
    std::string out;
    NamedDetails details;
    expandNamedPlaceholders(c.templ, c.values, out, details);
    EXPECT_EQ(out, c.expected) << c.templ;
    EXPECT_EQ(details, c.details) << c.templ;
}

const NamedValue kGet = NamedValue::text("GET");
const NamedValue kUrl = NamedValue::text("/a");
const NamedValue kBoom = NamedValue::text("boom");
const NamedValue kEmptyText = NamedValue::text("");
const NamedValue kSeven = NamedValue::signedInteger(7);

INSTANTIATE_TEST_SUITE_P(
    Placeholders, NamedExpansion,
    ::testing::Values(
        NamedCase{"ThreeNames",
                  "Error response for {method} {url}: {error}",
                  {kGet, kUrl, kBoom},
                  "Error response for %1 %2: %3",
                  {{"method", kGet}, {"url", kUrl}, {"error", kBoom}}},
        NamedCase{"FormatSpec", "{count:5d}", {kSeven}, "%1$5d", {{"count", kSeven}}},
        NamedCase{"FormatSpecKeepsSpecialCharacters", "{v:-5!?d}", {kSeven}, "%1$-5!?d", {{"v", kSeven}}},
        NamedCase{"MoreNamesThanValues", "{a} and {b}!", {kSeven}, "%1 and !", {{"a", kSeven}}},
        NamedCase{"UnnamedPlaceholder", "<{}>", {kSeven}, "<%1>", {}},
        NamedCase{"UnterminatedPlaceholder", "x {abc", {kSeven}, "x ", {}},
        NamedCase{"DoubledBraces", "{{literal}} {a}", {kSeven}, "{literal} %1", {{"a", kSeven}}},
        NamedCase{"LoneClosingBrace", "a}b", {}, "a}b", {}},
        NamedCase{"OpeningBraceInsideIgnored", "{a{b}", {kSeven}, "%1", {{"ab", kSeven}}},
        NamedCase{"BackslashEscapes", "{a\\:b\\}c}", {kSeven}, "%1", {{"a:b}c", kSeven}}},
        NamedCase{"PercentPercentKept", "100%% {a}", {kSeven}, "100%% %1", {{"a", kSeven}}},
        NamedCase{"PrintfDirectivesTakeTheCounter",
                  "%5.2f {x} %s",
                  {kSeven, kGet, kUrl},
                  "%1$5.2f %2 %3$s",
                  {{"x", kGet}}},
        NamedCase{"PrintfDirectiveAfterPlaceholder",
                  "{method} failed with %d",
                  {kGet, NamedValue::signedInteger(404)},
                  "%1 failed with %2$d",
                  {{"method", kGet}}},
        NamedCase{"PrintfDirectiveBeyondValues", "{a} %d", {kSeven}, "%1 %2$d", {{"a", kSeven}}},
        NamedCase{"PercentWithoutDirective", "50% {a}", {kSeven}, "50% %1", {{"a", kSeven}}}),
    namedCaseName);

// A directive written without a conversion is closed when what follows would extend it.
INSTANTIATE_TEST_SUITE_P(
    Closing, NamedExpansion,
    ::testing::Values(
        NamedCase{"DigitAfterPlaceholder", "Took {ms}0 ms", {kSeven}, "Took %1$d0 ms", {{"ms", kSeven}}},
        NamedCase{"DollarAfterPlaceholder", "{a}$", {kGet}, "%1$s$", {{"a", kGet}}},
        NamedCase{"DigitAfterUnsigned",
                  "{n}5",
                  {NamedValue::unsignedInteger(3)},
                  "%1$u5",
                  {{"n", NamedValue::unsignedInteger(3)}}},
        NamedCase{"LetterAfterSpecWithoutConversion", "{n:5}d", {kSeven}, "%1$5dd", {{"n", kSeven}}},
        NamedCase{"SpaceAfterSpecWithoutConversion", "{n:5} d", {kSeven}, "%1$5 d", {{"n", kSeven}}},
        NamedCase{
            "DigitAfterTrimmedSilent", "{a} {b!}5", {kGet, kSeven}, "%1$s5", {{"a", kGet}, {"b", kSeven}}},
        NamedCase{"DigitInAlternative", "{a}{n?7}", {kGet, kEmptyText}, "%1$s7", {{"a", kGet}}},
        NamedCase{"LetterAfterPlaceholder", "{a}d", {kGet}, "%1d", {{"a", kGet}}}),
    namedCaseName);

INSTANTIATE_TEST_SUITE_P(
    Flags, NamedExpansion,
    ::testing::Values(
        NamedCase{"TypedSignedInteger", "{#code}", {kSeven}, "%1", {{"code_int", kSeven}}},
        NamedCase{"TypedUnsigned",
                  "{#n}",
                  {NamedValue::unsignedInteger(3)},
                  "%1",
                  {{"n_int", NamedValue::unsignedInteger(3)}}},
        NamedCase{"TypedBool",
                  "{#ok}",
                  {NamedValue::boolean(true)},
                  "%1",
                  {{"ok_bool", NamedValue::boolean(true)}}},
        NamedCase{"TypedDouble",
                  "{#ratio}",
                  {NamedValue::floating(0.5)},
                  "%1",
                  {{"ratio_float", NamedValue::floating(0.5)}}},
        NamedCase{"TypedText", "{#who}", {kGet}, "%1", {{"who_str", kGet}}},
        NamedCase{"KnownSuffixKept", "{#count_long}", {kSeven}, "%1", {{"count_long", kSeven}}},
        NamedCase{"OnlyLastUnderscoreCounts", "{#int_x}", {kSeven}, "%1", {{"int_x_int", kSeven}}},
        NamedCase{"AlternativeForEmptyValue", "[{name?none}]", {kEmptyText}, "[none]", {}},
        NamedCase{"AlternativeForZero", "[{n?zero}]", {NamedValue::signedInteger(0)}, "[zero]", {}},
        NamedCase{"AlternativeForFalse", "[{f?no}]", {NamedValue::boolean(false)}, "[no]", {}},
        NamedCase{"AlternativeUnusedForValue", "[{name?none}]", {kGet}, "[%1]", {{"name", kGet}}},
        NamedCase{"AlternativeThenSpecification", "{n?none:3d}", {kSeven}, "%1$3d", {{"n", kSeven}}},
        NamedCase{"SilentAfterColonAndSpace", "Failed: {reason!}", {kBoom}, "Failed:", {{"reason", kBoom}}},
        NamedCase{"SilentThenMore", "a {x!} b {y}", {kSeven, kGet}, "a b %2", {{"x", kSeven}, {"y", kGet}}},
        NamedCase{"SilentEmptyWithAlternative", "a {x!?-}", {kEmptyText}, "a -", {}}),
    namedCaseName);

std::vector<FormatArg> formatArgs(const std::vector<NamedValue>& values) {
    std::vector<FormatArg> args;
    for (const NamedValue& value : values) {
        args.push_back(value.asFormatArg());
    }
    return args;
}

std::string expandAndFormat(std::string_view templ, const std::vector<NamedValue>& values) {
    std::string positional;
    NamedDetails details;
    expandNamedPlaceholders(templ, values, positional, details);
    return formatMessage(positional, formatArgs(values));
}

TEST(NamedExpansionOutput, AppendsAndNeverTrimsTheCallersText) {
    std::string out = "prefix ";
    NamedDetails details;
    const std::vector<NamedValue> values = {kBoom};
    expandNamedPlaceholders("{quiet!}", values, out, details);
    EXPECT_EQ(out, "prefix ");
    EXPECT_EQ(details.at("quiet"), kBoom);
}

TEST(NamedExpansionOutput, PositionalFormattingOfTheExpansion) {
    const std::vector<NamedValue> values = {kGet,
                                            kUrl,
                                            NamedValue::signedInteger(404),
                                            NamedValue::boolean(true),
                                            NamedValue::floating(0.25),
                                            NamedValue::unsignedInteger(9)};
    std::string templ;
    NamedDetails details;
    expandNamedPlaceholders("{method} {url}: {#status:04d} {flag} {ratio} {n:x}", values, templ, details);
    EXPECT_EQ(formatMessage(templ, formatArgs(values)), "GET /a: 0404 1 0.25 9");
    EXPECT_EQ(details.size(), 6u);
    EXPECT_TRUE(details.contains("status_int"));
}

TEST(NamedExpansionOutput, DirectiveAfterPlaceholderPrintsItsOwnValue) {
    EXPECT_EQ(expandAndFormat("{method} failed with %d", {kGet, NamedValue::signedInteger(404)}),
              "GET failed with 404");
}

TEST(NamedExpansionOutput, DigitAfterPlaceholderStaysText) {
    std::vector<NamedValue> values;
    for (int i = 1; i <= 10; ++i) {
        values.push_back(NamedValue::signedInteger(100 + i));
    }
    EXPECT_EQ(expandAndFormat("Took {ms}0 ms; {b}{c}{d}{e}{f}{g}{h}{i}{j}", values),
              "Took 1010 ms; 102103104105106107108109110");
}

// Random templates of literal text, placeholders and printf directives, expanded and then
// formatted, must print what each piece prints on its own: no piece may read into the next or
// take another piece's value.
TEST(NamedExpansionOutput, ExpansionPrintsEachPieceOnItsOwn) {
    struct Piece {
        const char* templ;
        const char* spec; // for a piece that takes a value: its directive after "%1", else null
    };
    const Piece pieces[] = {
        {"0", nullptr},    {"42", nullptr},   {"$", nullptr},   {"x", nullptr}, {" ", nullptr},
        {"h", nullptr},    {".", nullptr},    {"-", nullptr},   {"{v}", ""},    {"{v:5}", "$5"},
        {"{v:-4}", "$-4"}, {"{v:.2}", "$.2"}, {"{v:x}", "$x"},  {"{v:}", "$"},  {"%d", "$d"},
        {"%5s", "$5s"},    {"%x", "$x"},      {"%.1f", "$.1f"}, {"%hd", "$hd"}, {"{#v}", ""},
    };
    const NamedValue pool[] = {NamedValue::signedInteger(404),     kGet,
                               NamedValue::unsignedInteger(70000), NamedValue::floating(2.5),
                               NamedValue::boolean(true),          NamedValue::signedInteger(-7)};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string templ;
        std::string expected;
        std::vector<NamedValue> values;
        for (std::size_t count = 1 + random() % 14; count > 0; --count) {
            const Piece& piece = pieces[random() % std::size(pieces)];
            templ += piece.templ;
            if (!piece.spec) {
                expected += piece.templ;
                continue;
            }
            values.push_back(pool[random() % std::size(pool)]);
            expected += formatMessage(std::string("%1") + piece.spec, {values.back().asFormatArg()});
        }
        ASSERT_EQ(expandAndFormat(templ, values), expected) << templ;
    }
}

TEST(NamedValues, EmptinessAndEquality) {
    struct Case {
        NamedValue value;
        bool empty;
    };
    const Case cases[] = {
        {NamedValue::boolean(false), true},
        {NamedValue::boolean(true), false},
        {NamedValue::signedInteger(0), true},
        {NamedValue::signedInteger(-1), false},
        {NamedValue::unsignedInteger(0), true},
        {NamedValue::unsignedInteger(1), false},
        {NamedValue::floating(0.0), true},
        {NamedValue::floating(-0.0), true},
        {NamedValue::floating(1e-300), false},
        {kEmptyText, true},
        {kGet, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.isEmptyValue(), c.empty) << static_cast<int>(c.value.kind());
    }
    EXPECT_NE(NamedValue::signedInteger(1), NamedValue::unsignedInteger(1));
    EXPECT_NE(NamedValue::text("a"), NamedValue::text("b"));
    EXPECT_EQ(NamedValue::text("a"), NamedValue::text(std::string("a")));
}

} // namespace
} // namespace kiv
