#include "value/msgpack_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::msgpack_reader_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

MsgpackDecoding decode(const Bytes& bytes) {
    return decodeMsgpack(bytes);
}

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct ScalarCase {
    const char* name;
    Bytes bytes;
    ValueKind kind;
    std::int64_t signedValue = 0;
    std::uint64_t unsignedValue = 0;
    double floatValue = 0.0;
};

class MsgpackScalarTest : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(MsgpackScalarTest, DecodesTheWholeItem) {
    const ScalarCase& c = GetParam();
    MsgpackDecoding decoding = decode(c.bytes);
    ASSERT_TRUE(decoding.result.ok()) << decoding.result.errorText();
    const Value& value = decoding.result.value();
    EXPECT_EQ(decoding.consumed, c.bytes.size());
    ASSERT_EQ(value.kind(), c.kind);
    EXPECT_EQ(value.getSigned(0), c.signedValue);
    EXPECT_EQ(value.getUnsigned(0), c.unsignedValue);
    EXPECT_EQ(value.getFloat(0.0), c.floatValue);
}

INSTANTIATE_TEST_SUITE_P(
    Scalars, MsgpackScalarTest,
    ::testing::Values(
        ScalarCase{"positive_fixint", {0x7F}, ValueKind::Signed, 127},
        ScalarCase{"zero_fixint", {0x00}, ValueKind::Signed, 0},
        ScalarCase{"negative_fixint", {0xFF}, ValueKind::Signed, -1},
        ScalarCase{"lowest_negative_fixint", {0xE0}, ValueKind::Signed, -32},
        ScalarCase{"uint8", {0xCC, 0xFF}, ValueKind::Unsigned, 0, 255},
        ScalarCase{"uint16", {0xCD, 0x01, 0x02}, ValueKind::Unsigned, 0, 0x0102},
        ScalarCase{"uint32", {0xCE, 0xFF, 0xFF, 0xFF, 0xFE}, ValueKind::Unsigned, 0, 0xFFFFFFFEu},
        ScalarCase{"uint64",
                   {0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                   ValueKind::Unsigned,
                   0,
                   UINT64_MAX},
        ScalarCase{"int8", {0xD0, 0xFF}, ValueKind::Signed, -1},
        ScalarCase{"int16", {0xD1, 0x80, 0x00}, ValueKind::Signed, -32768},
        ScalarCase{"int32", {0xD2, 0xFF, 0xFF, 0xFF, 0xFE}, ValueKind::Signed, -2},
        ScalarCase{"int64", {0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}, ValueKind::Signed, INT64_MIN},
        ScalarCase{"float32", {0xCA, 0x3F, 0xC0, 0x00, 0x00}, ValueKind::Float, 0, 0, 1.5},
        ScalarCase{"float64", {0xCB, 0xC0, 0x04, 0, 0, 0, 0, 0, 0}, ValueKind::Float, 0, 0, -2.5},
        ScalarCase{"nil", {0xC0}, ValueKind::Empty}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MsgpackReader, BoolsStringsAndBlobs) {
    EXPECT_TRUE(decode({0xC3}).result.value().getBool(false));
    EXPECT_FALSE(decode({0xC2}).result.value().getBool(true));

    EXPECT_EQ(decode(concat({{0xA3}, text("abc")})).result.value().getString(""), "abc");
    EXPECT_EQ(decode({0xA0}).result.value().kind(), ValueKind::String);
    // Strings are taken byte for byte: an embedded NUL is kept.
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(decode(concat({{0xD9, 0x03}, text(withNul)})).result.value().getString(""), withNul);
    EXPECT_EQ(decode(concat({{0xDA, 0x00, 0x02}, text("hi")})).result.value().getString(""), "hi");
    EXPECT_EQ(decode(concat({{0xDB, 0, 0, 0, 0x02}, text("hi")})).result.value().getString(""), "hi");

    for (const Bytes& header : {Bytes{0xC4, 0x02}, Bytes{0xC5, 0x00, 0x02}, Bytes{0xC6, 0, 0, 0, 0x02}}) {
        MsgpackDecoding decoding = decode(concat({header, {0x00, 0xFF}}));
        ASSERT_EQ(decoding.result.value().kind(), ValueKind::Blob);
        const auto blob = decoding.result.value().getBlob({});
        EXPECT_EQ(Bytes(blob.begin(), blob.end()), (Bytes{0x00, 0xFF}));
    }
}

struct ErrorCase {
    const char* name;
    Bytes bytes;
    std::string message;
};

class MsgpackErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(MsgpackErrorTest, FailsWithThePositionOfTheRead) {
    const ErrorCase& c = GetParam();
    MsgpackDecoding decoding = decode(c.bytes);
    EXPECT_FALSE(decoding.result.ok());
    EXPECT_EQ(decoding.result.errorText(), c.message);
    // Nothing of the partly built tree survives.
    EXPECT_EQ(decoding.result.value().size(), 1u);
    EXPECT_EQ(decoding.result.value()["error"].getString(""), c.message);
}

const std::string kInvalidAt = "Invalid MessagePack data at position ";
const std::string kTruncated = "Invalid MessagePack data. ";
const std::string kEndsInside = "Invalid MessagePack data. Input ends inside a container at position ";

INSTANTIATE_TEST_SUITE_P(
    Errors, MsgpackErrorTest,
    ::testing::Values(
        ErrorCase{"never_used", {0xC1}, kInvalidAt + "1."},
        ErrorCase{"ext8", {0xC7, 0x01, 0x01, 0x00}, kInvalidAt + "1."},
        ErrorCase{"ext32", {0xC9}, kInvalidAt + "1."},
        ErrorCase{"fixext1", {0xD4, 0x01, 0x00}, kInvalidAt + "1."},
        ErrorCase{"fixext16", {0xD8}, kInvalidAt + "1."},
        ErrorCase{"invalid_inside_array", {0x92, 0x01, 0xC1}, kInvalidAt + "3."},
        ErrorCase{"integer_key", {0x81, 0x01, 0x01}, kInvalidAt + "2. Map keys must be strings."},
        ErrorCase{
            "nil_key", {0x82, 0xA1, 'a', 0x01, 0xC0, 0x01}, kInvalidAt + "5. Map keys must be strings."},
        ErrorCase{"blob_key", {0x81, 0xC4, 0x00, 0x01}, kInvalidAt + "2. Map keys must be strings."},
        ErrorCase{"uint8_missing", {0xCC}, kTruncated + "8-bit integer value at position 1 is truncated."},
        ErrorCase{
            "uint16_short", {0xCD, 0x01}, kTruncated + "16-bit integer value at position 1 is truncated."},
        ErrorCase{
            "int32_short", {0xD2, 0, 0, 0}, kTruncated + "32-bit integer value at position 1 is truncated."},
        ErrorCase{
            "float32_short", {0xCA, 0}, kTruncated + "32-bit integer value at position 1 is truncated."},
        ErrorCase{
            "uint64_short", {0xCF, 0, 0}, kTruncated + "64-bit integer value at position 1 is truncated."},
        ErrorCase{"float64_short", {0xCB}, kTruncated + "64-bit integer value at position 1 is truncated."},
        // Numbers inside arrays take a shorter path; its truncations read as at the top level.
        ErrorCase{"float64_short_in_array",
                  {0x92, 0xCB, 0, 0, 0, 0, 0, 0, 0, 0, 0xCB, 0, 0, 0, 0, 0, 0, 0},
                  kTruncated + "64-bit integer value at position 11 is truncated."},
        ErrorCase{"float64_last_byte_missing_in_array",
                  {0x91, 0xCB, 0, 0, 0, 0, 0, 0, 0},
                  kTruncated + "64-bit integer value at position 2 is truncated."},
        ErrorCase{
            "str8_length_missing", {0xD9}, kTruncated + "8-bit integer value at position 1 is truncated."},
        ErrorCase{"array16_count_short",
                  {0xDC, 0x00},
                  kTruncated + "16-bit integer value at position 1 is truncated."},
        ErrorCase{"map32_count_short",
                  {0xDF, 0, 0},
                  kTruncated + "32-bit integer value at position 1 is truncated."},
        ErrorCase{"fixstr_short", {0xA3, 'a'}, kTruncated + "String of size 3 at position 1 is truncated."},
        ErrorCase{
            "str8_short", {0xD9, 0x05, 'a'}, kTruncated + "String of size 5 at position 2 is truncated."},
        ErrorCase{"str32_huge",
                  {0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},
                  kTruncated + "String of size 4294967295 at position 5 is truncated."},
        ErrorCase{
            "key_short", {0x81, 0xA2, 'k'}, kTruncated + "String of size 2 at position 2 is truncated."},
        ErrorCase{"bin8_short",
                  {0xC4, 0x02, 0x00},
                  kTruncated + "Raw bytes of size 2 at position 2 are truncated."},
        ErrorCase{"bin32_huge",
                  {0xC6, 0x80, 0, 0, 0},
                  kTruncated + "Raw bytes of size 2147483648 at position 5 are truncated."},
        // A container whose body the input does not hold is truncated, not complete.
        ErrorCase{"fixarray_one_of_two", {0x92, 0x01}, kEndsInside + "2."},
        ErrorCase{"fixarray_two_of_fifteen", {0x9F, 0x01, 0x02}, kEndsInside + "3."},
        ErrorCase{"fixmap_key_without_value", {0x81, 0xA1, 'a'}, kEndsInside + "3."},
        ErrorCase{"fixmap_one_of_two_pairs", {0x82, 0xA1, 'a', 0x01}, kEndsInside + "4."},
        ErrorCase{"array16_no_element", {0xDC, 0x00, 0x01}, kEndsInside + "3."},
        ErrorCase{"map16_no_pair", {0xDE, 0x00, 0x01}, kEndsInside + "3."},
        ErrorCase{"inner_array_short", {0x91, 0x92, 0x01}, kEndsInside + "3."},
        ErrorCase{"outer_array_short", {0x92, 0x91, 0x01}, kEndsInside + "3."},
        ErrorCase{"map_value_array_short", {0x81, 0xA1, 'a', 0x91}, kEndsInside + "4."},
        // Counts far beyond the input allocate nothing up front: the input runs out first.
        ErrorCase{"array32_huge_count", {0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, kEndsInside + "6."},
        ErrorCase{"map32_huge_count", {0xDF, 0xFF, 0xFF, 0xFF, 0xFF}, kEndsInside + "5."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MsgpackReader, EmptyInputIsAnEmptyValue) {
    MsgpackDecoding decoding = decode({});
    EXPECT_TRUE(decoding.result.ok());
    EXPECT_TRUE(decoding.result.value().isEmpty());
    EXPECT_EQ(decoding.consumed, 0u);
}

TEST(MsgpackReader, StopsAfterTheTopLevelValue) {
    MsgpackDecoding scalar = decode({0x01, 0x02});
    EXPECT_EQ(scalar.consumed, 1u);
    EXPECT_EQ(scalar.result.value().getSigned(0), 1);

    MsgpackDecoding array = decode({0x92, 0x01, 0x02, 0xC1, 0xC1});
    ASSERT_TRUE(array.result.ok());
    EXPECT_EQ(array.consumed, 3u);
    EXPECT_EQ(array.result.value().size(), 2u);

    MsgpackDecoding emptyMap = decode({0x80, 0x01});
    EXPECT_EQ(emptyMap.consumed, 1u);
    EXPECT_TRUE(emptyMap.result.value().isStructure());
}

TEST(MsgpackReader, ContainersEndingWithTheInputAreComplete) {
    const Bytes cases[] = {{0x90},
                           {0x80},
                           {0x91, 0x90},
                           {0x92, 0x01, 0x80},
                           {0x81, 0xA1, 'a', 0x91, 0xC0},
                           {0xDC, 0x00, 0x00},
                           {0xDF, 0x00, 0x00, 0x00, 0x00}};
    for (const Bytes& bytes : cases) {
        MsgpackDecoding decoding = decode(bytes);
        EXPECT_TRUE(decoding.result.ok()) << decoding.result.errorText();
        EXPECT_EQ(decoding.consumed, bytes.size());
    }
}

TEST(MsgpackReader, NumbersInArraysKeepTheirKinds) {
    // fixint 5, negative fixint -3, float 64 1.5, uint8 200, float 32 0.25.
    MsgpackDecoding decoding =
        decode({0x95, 0x05, 0xFD, 0xCB, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0xCC, 0xC8, 0xCA, 0x3E, 0x80, 0, 0});
    ASSERT_TRUE(decoding.result.ok()) << decoding.result.errorText();
    const Value& array = decoding.result.value();
    ASSERT_EQ(array.size(), 5u);
    EXPECT_EQ(array[0].getSigned(0), 5);
    EXPECT_EQ(array[1].getSigned(0), -3);
    EXPECT_EQ(array[2].getFloat(0), 1.5);
    EXPECT_EQ(array[3].getUnsigned(0), 200u);
    EXPECT_EQ(array[4].getFloat(0), 0.25);
}

TEST(MsgpackReader, RepeatedKeysReuseTheirMember) {
    // {"a": 1, "a": 2}
    MsgpackDecoding scalars = decode({0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02});
    ASSERT_TRUE(scalars.result.ok());
    EXPECT_EQ(scalars.result.value().size(), 1u);
    EXPECT_EQ(scalars.result.value()["a"].getSigned(0), 2);

    // {"m": {"x": 1}, "m": {"y": 2}} merges the two maps.
    MsgpackDecoding maps = decode({0x82, 0xA1, 'm', 0x81, 0xA1, 'x', 0x01, 0xA1, 'm', 0x81, 0xA1, 'y', 0x02});
    ASSERT_TRUE(maps.result.ok()) << maps.result.errorText();
    EXPECT_EQ(maps.result.value()["m"]["x"].getSigned(0), 1);
    EXPECT_EQ(maps.result.value()["m"]["y"].getSigned(0), 2);

    // {"v": [1, 2], "v": [3]} writes the second array over the first, index by index.
    MsgpackDecoding arrays = decode({0x82, 0xA1, 'v', 0x92, 0x01, 0x02, 0xA1, 'v', 0x91, 0x03});
    ASSERT_TRUE(arrays.result.ok()) << arrays.result.errorText();
    const Value& v = arrays.result.value()["v"];
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].getSigned(0), 3);
    EXPECT_EQ(v[1].getSigned(0), 2);

    // A scalar under a key that held a container replaces it, and the decoding goes on.
    MsgpackDecoding replaced = decode({0x83, 0xA1, 'v', 0x91, 0x01, 0xA1, 'v', 0x05, 0xA1, 'w', 0x06});
    ASSERT_TRUE(replaced.result.ok()) << replaced.result.errorText();
    EXPECT_EQ(replaced.result.value()["v"].getSigned(0), 5);
    EXPECT_EQ(replaced.result.value()["w"].getSigned(0), 6);
}

TEST(MsgpackReader, NestedContainers) {
    // {"list": [1, {"k": "v"}, []], "n": nil}
    const Bytes bytes =
        concat({{0x82, 0xA4}, text("list"), {0x93, 0x01, 0x81, 0xA1, 'k', 0xA1, 'v', 0x90, 0xA1, 'n', 0xC0}});
    MsgpackDecoding decoding = decode(bytes);
    ASSERT_TRUE(decoding.result.ok()) << decoding.result.errorText();
    const Value& root = decoding.result.value();
    ASSERT_EQ(root.size(), 2u);
    const Value& list = root["list"];
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1]["k"].getString(""), "v");
    EXPECT_TRUE(list[2].isCollection());
    EXPECT_TRUE(root.find("n") != nullptr);
    EXPECT_TRUE(root["n"].isEmpty());
    EXPECT_EQ(decoding.consumed, bytes.size());
}

TEST(MsgpackReader, MillionLevelsDeep) {
    constexpr std::size_t kDepth = KIV_TEST_DEEP_NESTING;
    for (bool maps : {false, true}) {
        Bytes bytes;
        for (std::size_t i = 0; i < kDepth; ++i) {
            if (maps) {
                bytes.insert(bytes.end(), {0x81, 0xA1, 'k'});
            } else {
                bytes.push_back(0x91);
            }
        }
        bytes.push_back(0x07);
        MsgpackDecoding decoding = decode(bytes);
        ASSERT_TRUE(decoding.result.ok()) << decoding.result.errorText();
        EXPECT_EQ(decoding.consumed, bytes.size());
        const Value* node = &decoding.result.value();
        std::size_t depth = 0;
        while (node->isCollection() || node->isStructure()) {
            node = maps ? &(*node)["k"] : &(*node)[0];
            ++depth;
        }
        EXPECT_EQ(depth, kDepth);
        EXPECT_EQ(node->getSigned(0), 7);
    }
}

TEST(MsgpackReader, LooksLikeMessagePack) {
    struct Case {
        Bytes bytes;
        bool expected;
    };
    const Case cases[] = {{{}, false},     {{0x80}, true},  {{0x8F}, true},  {{0x90}, true},
                          {{0x9F}, true},  {{0xDC}, true},  {{0xDF}, true},  {{0x7F}, false},
                          {{0xA0}, false}, {{0xDB}, false}, {{0xE0}, false}, {{'{'}, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(looksLikeMsgpack(c.bytes), c.expected) << (c.bytes.empty() ? -1 : c.bytes[0]);
    }
}

} // namespace
} // namespace kiv::msgpack_reader_test
