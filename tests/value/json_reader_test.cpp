#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace kiv {
namespace {

using namespace std::string_literals;

struct NumberCase {
    const char* text;
    ValueKind kind;
    std::int64_t signedValue = 0;
    std::uint64_t unsignedValue = 0;
    double floatValue = 0.0;
};

class JsonNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumberTest, IsClassifiedByItsSpelling) {
    const NumberCase& c = GetParam();
    ConversionResult result = parseJson(c.text);
    ASSERT_TRUE(result.ok()) << result.errorText();
    ASSERT_EQ(result.value().kind(), c.kind) << c.text;
    EXPECT_EQ(result.value().getSigned(0), c.signedValue);
    EXPECT_EQ(result.value().getUnsigned(0), c.unsignedValue);
    EXPECT_EQ(result.value().getFloat(0.0), c.floatValue);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, JsonNumberTest,
    ::testing::Values(NumberCase{"0", ValueKind::Unsigned}, NumberCase{"7", ValueKind::Unsigned, 0, 7},
                      NumberCase{"-7", ValueKind::Signed, -7}, NumberCase{"-0", ValueKind::Signed, 0},
                      NumberCase{"7.0", ValueKind::Float, 0, 0, 7.0},
                      NumberCase{"1e2", ValueKind::Float, 0, 0, 100.0},
                      NumberCase{"4294967296", ValueKind::Unsigned, 0, 4294967296u},
                      NumberCase{"-2147483649", ValueKind::Signed, -2147483649},
                      NumberCase{"18446744073709551615", ValueKind::Unsigned, 0, UINT64_MAX},
                      NumberCase{"18446744073709551616", ValueKind::Float, 0, 0, 18446744073709551616.0},
                      NumberCase{"-9223372036854775808", ValueKind::Signed, INT64_MIN},
                      NumberCase{"-9223372036854775809", ValueKind::Float, 0, 0, -9223372036854775808.0}));

struct ErrorCase {
    std::string text;
    std::string message;
};

class JsonErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(JsonErrorTest, ReportsTheTokenizerMessageAndOffset) {
    const ErrorCase& c = GetParam();
    ConversionResult result = parseJson(c.text);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.errorText(), c.message);
    EXPECT_EQ(result.value().size(), 1u); // only {"error": message} is left
}

INSTANTIATE_TEST_SUITE_P(
    Errors, JsonErrorTest,
    ::testing::Values(
        ErrorCase{"", "Error: The document is empty. at offset 0."},
        ErrorCase{"   ", "Error: The document is empty. at offset 3."},
        ErrorCase{"\t\r\n ", "Error: The document is empty. at offset 4."},
        ErrorCase{"[1] x", "Error: The document root must not be followed by other values. at offset 4."},
        ErrorCase{"x", "Error: Invalid value. at offset 0."},
        ErrorCase{"  }", "Error: Invalid value. at offset 2."},
        ErrorCase{"]", "Error: Invalid value. at offset 0."},
        ErrorCase{",1", "Error: Invalid value. at offset 0."},
        ErrorCase{"[1,]", "Error: Invalid value. at offset 3."},
        ErrorCase{"{1}", "Error: Missing a name for object member. at offset 1."},
        ErrorCase{R"({"a" 1})", "Error: Missing a colon after a name of object member. at offset 5."},
        ErrorCase{R"({"a":1 x)", "Error: Missing a comma or '}' after an object member. at offset 7."},
        ErrorCase{"[1 x", "Error: Missing a comma or ']' after an array element. at offset 3."},
        ErrorCase{R"("\u12G4")", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        ErrorCase{R"("\ud800x")", "Error: The surrogate pair in string is invalid. at offset 1."},
        ErrorCase{R"("\q")", "Error: Invalid escape character in string. at offset 1."},
        ErrorCase{R"("abc)", "Error: Missing a closing quotation mark in string. at offset 4."},
        ErrorCase{"\"a\x1c\"", "Error: Invalid escape character in string. at offset 2."},
        ErrorCase{"1e400", "Error: Number too big to be stored in double. at offset 0."},
        ErrorCase{"1.", "Error: Miss fraction part in number. at offset 2."},
        ErrorCase{"[1e+]", "Error: Miss exponent in number. at offset 4."},
        // The text ends at its first NUL byte.
        ErrorCase{"[1,\0 2]"s, "Error: Invalid value. at offset 3."},
        ErrorCase{"\0[1]"s, "Error: The document is empty. at offset 0."}));

TEST(JsonReader, RepeatedKeysMergeAndConcatenate) {
    ConversionResult scalars = parseJson(R"({"a":1,"a":2})");
    ASSERT_TRUE(scalars.ok());
    EXPECT_EQ(scalars.value().size(), 1u);
    EXPECT_EQ(scalars.value()["a"].getUnsigned(0), 2u);

    ConversionResult objects = parseJson(R"({"a":{"x":1},"a":{"y":2}})");
    ASSERT_TRUE(objects.ok());
    EXPECT_EQ(objects.value()["a"]["x"].getUnsigned(0), 1u);
    EXPECT_EQ(objects.value()["a"]["y"].getUnsigned(0), 2u);

    ConversionResult arrays = parseJson(R"({"a":[1],"a":[2, 3]})");
    ASSERT_TRUE(arrays.ok());
    const Value& a = arrays.value()["a"];
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].getUnsigned(0), 1u);
    EXPECT_EQ(a[2].getUnsigned(0), 3u);

    // A container under a repeated key replaces a scalar and the other way round.
    ConversionResult replaced = parseJson(R"({"a":1,"a":{"b":true},"c":[],"c":"s"})");
    ASSERT_TRUE(replaced.ok());
    EXPECT_TRUE(replaced.value()["a"]["b"].getBool(false));
    EXPECT_EQ(replaced.value()["c"].getString(""), "s");
}

TEST(JsonReader, NullsTakeTheirPlaceInArrays) {
    ConversionResult result = parseJson("[null, 1, [null], {}]");
    ASSERT_TRUE(result.ok());
    const Value& root = result.value();
    ASSERT_EQ(root.size(), 4u);
    EXPECT_TRUE(root[0].isEmpty());
    EXPECT_EQ(root[1].getUnsigned(0), 1u);
    EXPECT_EQ(root[2].size(), 1u);
    EXPECT_TRUE(root[3].isStructure());

    ConversionResult member = parseJson(R"({"n":null})");
    ASSERT_TRUE(member.ok());
    ASSERT_NE(member.value().find("n"), nullptr);
    EXPECT_TRUE(member.value()["n"].isEmpty());
}

TEST(JsonReader, StringsAreDecodedUpToTheirFirstNul) {
    struct Case {
        const char* json;
        std::string expected;
    };
    const Case cases[] = {
        {R"("\u00e9")", "\xC3\xA9"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("a\"b\\c\/d\n\t")", "a\"b\\c/d\n\t"},
        {R"("a\u0000b")", "a"},
        {R"("")", ""},
    };
    for (const Case& c : cases) {
        ConversionResult result = parseJson(c.json);
        ASSERT_TRUE(result.ok()) << c.json;
        EXPECT_EQ(result.value().kind(), ValueKind::String) << c.json;
        EXPECT_EQ(result.value().getString("?"), c.expected) << c.json;
    }

    ConversionResult key = parseJson(R"({"k\u0000ey":1})");
    ASSERT_TRUE(key.ok());
    EXPECT_EQ(key.value()["k"].getUnsigned(0), 1u);
}

TEST(JsonReader, TextAfterTheFirstNulIsNotRead) {
    ConversionResult result = parseJson("[true]\0garbage"s);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_TRUE(result.value()[0].getBool(false));
    // A view that is not NUL-terminated is read within its length.
    const char buffer[] = {'[', '1', ']', 'x'};
    ConversionResult bounded = parseJson(std::string_view(buffer, 3));
    EXPECT_TRUE(bounded.ok()) << bounded.errorText();
}

TEST(JsonReader, MillionLevelsDeep) {
    constexpr std::size_t kDepth = KIV_TEST_DEEP_NESTING;
    const std::string closed = std::string(kDepth, '[') + "0" + std::string(kDepth, ']');
    ConversionResult result = parseJson(closed);
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value* node = &result.value();
    std::size_t depth = 0;
    for (; node->isCollection(); node = &(*node)[0]) {
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);

    std::string objects;
    for (std::size_t i = 0; i < kDepth; ++i) {
        objects += R"({"a":)";
    }
    ConversionResult unclosed = parseJson(objects);
    EXPECT_EQ(unclosed.errorText(),
              "Error: Invalid value. at offset " + std::to_string(objects.size()) + ".");

    ConversionResult open = parseJson(std::string(kDepth, '['));
    EXPECT_EQ(open.errorText(), "Error: Invalid value. at offset " + std::to_string(kDepth) + ".");
}

TEST(JsonReader, LooksLikeJson) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {{"  {", true}, {"[1]", true},  {"\t{", false}, {"true", false},
                          {"", false},   {"   ", false}, {"\n[", false}, {" x{", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(looksLikeJson(c.text), c.expected) << '"' << c.text << '"';
    }
}

} // namespace
} // namespace kiv
