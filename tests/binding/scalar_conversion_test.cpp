#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"
#include "value_builders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kiv {
namespace {

using namespace kiv::test;

enum class Level : std::int32_t { Low = 1, High = 2 };

template <class T> struct AssignCase {
    const char* label;
    Value input;
    T expected{};        // checked when no message is expected
    std::string message; // the expected error text, or empty
};

template <class T>
void checkAssignCases(const std::vector<AssignCase<T>>& cases, const BindingRegistry& registry) {
    for (const AssignCase<T>& c : cases) {
        SCOPED_TRACE(c.label);
        T target{};
        ConversionResult result;
        assignNative(result, target, c.input, "x", registry);
        EXPECT_EQ(std::string(result.errorText()), c.message);
        EXPECT_EQ(result.ok(), c.message.empty());
        if (c.message.empty()) {
            EXPECT_EQ(target, c.expected);
        }
    }
}

const std::string kRequired = "A value for 'x' is required.";

class ScalarConversionTest : public ::testing::Test {
  protected:
    BindingRegistry registry;
};

TEST_F(ScalarConversionTest, Int32) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    checkAssignCases<std::int32_t>(
        {
            {"signed", signedValue(-5), -5, ""},
            {"signed above", signedValue(2147483648LL), 0,
             "Value 2147483648 for 'x' of type int32 is out of range"},
            {"signed below", signedValue(-2147483649LL), 0,
             "Value -2147483649 for 'x' of type int32 is out of range"},
            {"unsigned", unsignedValue(2147483647u), 2147483647, ""},
            {"unsigned above", unsignedValue(2147483648u), 0,
             "Value 2147483648 for 'x' of type int32 is out of range"},
            {"float truncates", floatValue(3.9), 3, ""},
            {"negative float truncates", floatValue(-3.9), -3, ""},
            {"float above", floatValue(1e10), 0, "Value 1e+10 for 'x' of type int32 is out of range"},
            {"float NaN", floatValue(nan), 0, "Value nan for 'x' of type int32 is out of range"},
            {"hex text", stringValue("0x10"), 16, ""},
            {"octal text", stringValue("010"), 8, ""},
            {"leading blank", stringValue(" 12"), 12, ""},
            {"empty text", stringValue(""), 0, ""},
            {"text above", stringValue("2147483648"), 0,
             "Value 2147483648 for 'x' of type int32 is out of range"},
            {"trailing blank", stringValue("12 "), 0,
             "Value 12  for 'x' of type int32 is in an incorrect format"},
            {"not a number", stringValue("abc"), 0,
             "Value abc for 'x' of type int32 is in an incorrect format"},
            {"enum", enumValue(7), 7, ""},
            {"bool", boolValue(true), 0,
             "Couldn't assign value to 'x' of type int32 because the input is of an invalid type bool."},
            {"collection", collectionOf({}), 0,
             "Couldn't assign value to 'x' of type int32 because the input is of an invalid type "
             "collection."},
            {"empty", Value(), 0, kRequired},
        },
        registry);
}

TEST_F(ScalarConversionTest, UInt32) {
    checkAssignCases<std::uint32_t>(
        {
            {"signed", signedValue(4294967295LL), 4294967295u, ""},
            {"negative signed", signedValue(-1), 0, "Value -1 for 'x' of type uint32 is out of range"},
            {"unsigned above", unsignedValue(4294967296u), 0,
             "Value 4294967296 for 'x' of type uint32 is out of range"},
            {"float", floatValue(4294967295.0), 4294967295u, ""},
            {"negative float", floatValue(-0.5), 0, "Value -0.5 for 'x' of type uint32 is out of range"},
            {"text", stringValue("0xFFFFFFFF"), 4294967295u, ""},
            {"negative text", stringValue("-1"), 0, "Value -1 for 'x' of type uint32 is out of range"},
            {"text above", stringValue("4294967296"), 0,
             "Value 4294967296 for 'x' of type uint32 is out of range"},
            {"text with rest", stringValue("1x"), 0,
             "Value 1x for 'x' of type uint32 is in an incorrect format"},
            {"negative enum", enumValue(-1), 0, "Value -1 for 'x' of type uint32 is out of range"},
            {"blob",
             [] {
                 Value blob;
                 blob.setBlob(std::vector<std::uint8_t>{1});
                 return blob;
             }(),
             0, "Couldn't assign value to 'x' of type uint32 because the input is of an invalid type blob."},
        },
        registry);
}

TEST_F(ScalarConversionTest, NarrowAndWideIntegersUseTheirNativeLimits) {
    checkAssignCases<std::int8_t>(
        {{"lowest", signedValue(-128), -128, ""},
         {"above", signedValue(128), 0, "Value 128 for 'x' of type int8 is out of range"},
         {"text above", stringValue("200"), 0, "Value 200 for 'x' of type int8 is out of range"}},
        registry);
    checkAssignCases<std::uint16_t>(
        {{"highest", unsignedValue(65535), 65535, ""},
         {"above", signedValue(65536), 0, "Value 65536 for 'x' of type uint16 is out of range"}},
        registry);
    // 2^63 and 2^64 are where the largest integers round to as doubles: not representable.
    checkAssignCases<std::int64_t>(
        {{"lowest text", stringValue("-9223372036854775808"), std::numeric_limits<std::int64_t>::min(), ""},
         {"overflowing text", stringValue("9223372036854775808"), 0,
          "Value 9223372036854775808 for 'x' of type int64 is out of range"},
         {"unsigned above", unsignedValue(9223372036854775808u), 0,
          "Value 9223372036854775808 for 'x' of type int64 is out of range"},
         {"float 2^63", floatValue(9223372036854775808.0), 0,
          "Value 9.22337e+18 for 'x' of type int64 is out of range"}},
        registry);
    checkAssignCases<std::uint64_t>(
        {{"highest", unsignedValue(18446744073709551615u), 18446744073709551615u, ""},
         {"float 2^64", floatValue(18446744073709551616.0), 0,
          "Value 1.84467e+19 for 'x' of type uint64 is out of range"}},
        registry);
}

TEST_F(ScalarConversionTest, Floating) {
    checkAssignCases<float>(
        {{"float", floatValue(1.5), 1.5f, ""},
         {"above", floatValue(1e39), 0, "Value 1e+39 for 'x' of type float is out of range"},
         {"signed", signedValue(-3), -3.0f, ""},
         {"text", stringValue("0x1p3"), 8.0f, ""},
         {"text above", stringValue("1e39"), 0, "Value 1e39 for 'x' of type float is out of range"},
         {"empty text", stringValue(""), 0.0f, ""},
         {"bool", boolValue(false), 0,
          "Couldn't assign value to 'x' of type float because the input is of an invalid type bool."}},
        registry);
    checkAssignCases<double>(
        {{"unsigned", unsignedValue(18446744073709551615u), 18446744073709551615.0, ""},
         {"enum", enumValue(-4), -4.0, ""},
         {"overflowing text", stringValue("1e400"), 0, "Value 1e400 for 'x' of type double is out of range"},
         {"text with rest", stringValue("1.5e"), 0,
          "Value 1.5e for 'x' of type double is in an incorrect format"},
         {"empty", Value(), 0, kRequired}},
        registry);
}

TEST_F(ScalarConversionTest, Bool) {
    checkAssignCases<bool>(
        {{"bool", boolValue(true), true, ""},
         {"text true", stringValue("true"), true, ""},
         {"text 1", stringValue("1"), true, ""},
         {"text false", stringValue("false"), false, ""},
         {"text 0", stringValue("0"), false, ""},
         {"capitalised", stringValue("True"), false,
          "Value True for 'x' of type bool is in an incorrect format. Options are \"true\", \"false\", "
          "\"1\", \"0\"."},
         {"signed", signedValue(1), false,
          "Couldn't assign value to 'x' of type bool because the input is of an invalid type signed."},
         {"unsigned", unsignedValue(0), false,
          "Couldn't assign value to 'x' of type bool because the input is of an invalid type unsigned."},
         {"empty", Value(), false, kRequired}},
        registry);
}

TEST_F(ScalarConversionTest, Enum) {
    declareEnum<Level>(registry, {"Level"}, {{"Low", Level::Low}, {"High", Level::High}});
    const std::string invalid = "is not a valid Level enumeration value for 'x'.";
    checkAssignCases<Level>(
        {{"name", stringValue("High"), Level::High, ""},
         {"number text", stringValue("1"), Level::Low, ""},
         {"unknown number text", stringValue("7"), Level{}, "7 " + invalid},
         {"wrong case", stringValue("high"), Level{}, "high " + invalid},
         {"text beyond int32", stringValue("4294967297"), Level{}, "4294967297 " + invalid},
         {"signed", signedValue(2), Level::High, ""},
         {"unknown signed", signedValue(7), Level{}, "7 " + invalid},
         {"unsigned that would wrap", unsignedValue(4294967297u), Level{}, "4294967297 " + invalid},
         {"enum", enumValue(1), Level::Low, ""},
         {"unknown enum", enumValue(0), Level{}, "0 " + invalid},
         {"bool", boolValue(true), Level{},
          "Couldn't assign value to 'x' of enum type because the input is of an invalid type bool."},
         {"empty", Value(), Level{}, kRequired}},
        registry);
}

TEST_F(ScalarConversionTest, StringTargetsAreAlwaysReplaced) {
    declareEnum<Level>(registry, {"Level"}, {{"Low", Level::Low}, {"High", Level::High}});
    const BindingTypeId* level = &bindingTypeIdOf<Level>();
    struct Case {
        const char* label;
        Value input;
        std::string expected;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"text", stringValue("hi"), "hi", ""},
        {"enumerator", enumValue(2, level), "High", ""},
        {"unknown enumerator", enumValue(7, level), "", "7 is not a valid enumeration value for 'x'."},
        {"signed", signedValue(1), "", "Couldn't assign value to 'x' because the input is not a string."},
        {"empty", Value(), "", kRequired},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string target = "previous";
        ConversionResult result;
        assignNative(result, target, c.input, "x", registry);
        EXPECT_EQ(std::string(result.errorText()), c.message);
        EXPECT_EQ(target, c.expected);
    }

    ConversionResult failed;
    failed.setError("earlier");
    std::string target = "previous";
    assignNative(failed, target, stringValue("hi"), "x", registry);
    EXPECT_EQ(target, "");
    EXPECT_EQ(failed.errorText(), "earlier");
}

TEST_F(ScalarConversionTest, AFailedResultKeepsItsMessageAndTheTargetItsValue) {
    ConversionResult result;
    result.setError("first");
    std::int32_t number = 9;
    assignNative(result, number, stringValue("junk"), "x", registry);
    bool flag = true;
    assignNative(result, flag, signedValue(1), "x", registry);
    EXPECT_EQ(result.errorText(), "first");
    EXPECT_EQ(number, 9);
    EXPECT_TRUE(flag);
}

TEST_F(ScalarConversionTest, ScalarsConvertToTheirGenericKinds) {
    declareEnum<Level>(registry, {"Level"}, {{"Low", Level::Low}, {"High", Level::High}});
    const auto convert = [this](const auto& native) {
        ConversionResult result;
        convertNative(result, native, registry);
        EXPECT_TRUE(result.ok());
        return Value(result.value());
    };
    EXPECT_EQ(convert(true).getBool(false), true);
    EXPECT_EQ(convert(std::int8_t{-5}).getSigned(0), -5);
    EXPECT_EQ(convert(std::uint16_t{65535}).getUnsigned(0), 65535u);
    EXPECT_EQ(convert(std::uint32_t{4294967295u}).getUnsigned(0), 4294967295u);
    EXPECT_EQ(convert(std::int64_t{-1}).getSigned(0), -1);
    EXPECT_EQ(convert(1.5f).getFloat(0), 1.5);
    EXPECT_EQ(convert(std::string("text")).getString({}), "text");
    EXPECT_EQ(convert(std::vector<std::uint8_t>{1, 2}).size(), 2u);
    EXPECT_EQ(convert(std::vector<std::uint8_t>{1, 2}).kind(), ValueKind::Blob);
    const Value level = convert(Level::High);
    EXPECT_EQ(level.getEnum({}).value, 2);
    EXPECT_EQ(level.getEnum({}).type, &bindingTypeIdOf<Level>());
    EXPECT_EQ(registry.enumeratorName(level.getEnum({}).type, 2), "High");
}

TEST_F(ScalarConversionTest, BlobsTakeBlobsOnly) {
    std::vector<std::uint8_t> target = {9};
    ConversionResult result;
    Value blob;
    blob.setBlob(std::vector<std::uint8_t>{1, 2, 3});
    assignNative(result, target, blob, "x", registry);
    EXPECT_EQ(target, (std::vector<std::uint8_t>{1, 2, 3}));

    assignNative(result, target, stringValue("abc"), "x", registry);
    EXPECT_EQ(result.errorText(),
              "Couldn't assign value to 'x' of type blob because the input is of an invalid type string.");
}

} // namespace
} // namespace kiv
