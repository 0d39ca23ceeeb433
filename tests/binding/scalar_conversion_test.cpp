#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"
#include "format/message_format.h"
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

std::string outOfRange(FormatArg shown, std::string_view type) {
    return formatMessage("Value %1 for 'x' of type %2 is out of range", {shown, type});
}

std::string incorrectFormat(std::string_view text, std::string_view type) {
    return formatMessage("Value %1 for 'x' of type %2 is in an incorrect format", {text, type});
}

std::string invalidKind(std::string_view type, std::string_view kind) {
    return formatMessage(
        "Couldn't assign value to 'x' of type %1 because the input is of an invalid type %2.", {type, kind});
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
            {"signed above", signedValue(2147483648LL), 0, outOfRange(2147483648LL, "int32")},
            {"signed below", signedValue(-2147483649LL), 0, outOfRange(-2147483649LL, "int32")},
            {"unsigned", unsignedValue(2147483647u), 2147483647, ""},
            {"unsigned above", unsignedValue(2147483648u), 0,
             outOfRange(std::uint64_t{2147483648u}, "int32")},
            {"float truncates", floatValue(3.9), 3, ""},
            {"negative float truncates", floatValue(-3.9), -3, ""},
            {"float above", floatValue(1e10), 0, outOfRange(1e10, "int32")},
            {"float NaN", floatValue(nan), 0, outOfRange(nan, "int32")},
            {"hex text", stringValue("0x10"), 16, ""},
            {"octal text", stringValue("010"), 8, ""},
            {"leading blank", stringValue(" 12"), 12, ""},
            {"empty text", stringValue(""), 0, ""},
            {"text above", stringValue("2147483648"), 0, outOfRange("2147483648", "int32")},
            {"trailing blank", stringValue("12 "), 0, incorrectFormat("12 ", "int32")},
            {"not a number", stringValue("abc"), 0, incorrectFormat("abc", "int32")},
            {"enum", enumValue(7), 7, ""},
            {"bool", boolValue(true), 0, invalidKind("int32", "bool")},
            {"collection", collectionOf({}), 0, invalidKind("int32", "collection")},
            {"empty", Value(), 0, kRequired},
        },
        registry);
}

TEST_F(ScalarConversionTest, UInt32) {
    checkAssignCases<std::uint32_t>(
        {
            {"signed", signedValue(4294967295LL), 4294967295u, ""},
            {"negative signed", signedValue(-1), 0, outOfRange(std::int64_t{-1}, "uint32")},
            {"unsigned above", unsignedValue(4294967296u), 0,
             outOfRange(std::uint64_t{4294967296u}, "uint32")},
            {"float", floatValue(4294967295.0), 4294967295u, ""},
            {"negative float", floatValue(-0.5), 0, outOfRange(-0.5, "uint32")},
            {"text", stringValue("0xFFFFFFFF"), 4294967295u, ""},
            {"negative text", stringValue("-1"), 0, outOfRange("-1", "uint32")},
            {"text above", stringValue("4294967296"), 0, outOfRange("4294967296", "uint32")},
            {"text with rest", stringValue("1x"), 0, incorrectFormat("1x", "uint32")},
            {"negative enum", enumValue(-1), 0, outOfRange(std::int32_t{-1}, "uint32")},
            {"blob",
             [] {
                 Value blob;
                 blob.setBlob(std::vector<std::uint8_t>{1});
                 return blob;
             }(),
             0, invalidKind("uint32", "blob")},
        },
        registry);
}

TEST_F(ScalarConversionTest, NarrowAndWideIntegersUseTheirNativeLimits) {
    checkAssignCases<std::int8_t>({{"lowest", signedValue(-128), -128, ""},
                                   {"above", signedValue(128), 0, outOfRange(std::int64_t{128}, "int8")},
                                   {"text above", stringValue("200"), 0, outOfRange("200", "int8")}},
                                  registry);
    checkAssignCases<std::uint16_t>(
        {{"highest", unsignedValue(65535), 65535, ""},
         {"above", signedValue(65536), 0, outOfRange(std::int64_t{65536}, "uint16")}},
        registry);
    // 2^63 and 2^64 are where the largest integers round to as doubles: not representable.
    checkAssignCases<std::int64_t>(
        {{"lowest text", stringValue("-9223372036854775808"), std::numeric_limits<std::int64_t>::min(), ""},
         {"overflowing text", stringValue("9223372036854775808"), 0,
          outOfRange("9223372036854775808", "int64")},
         {"unsigned above", unsignedValue(9223372036854775808u), 0,
          outOfRange(std::uint64_t{9223372036854775808u}, "int64")},
         {"float 2^63", floatValue(9223372036854775808.0), 0, outOfRange(9223372036854775808.0, "int64")}},
        registry);
    checkAssignCases<std::uint64_t>(
        {{"highest", unsignedValue(18446744073709551615u), 18446744073709551615u, ""},
         {"float 2^64", floatValue(18446744073709551616.0), 0, outOfRange(18446744073709551616.0, "uint64")}},
        registry);
}

TEST_F(ScalarConversionTest, Floating) {
    checkAssignCases<float>({{"float", floatValue(1.5), 1.5f, ""},
                             {"above", floatValue(1e39), 0, outOfRange(1e39, "float")},
                             {"signed", signedValue(-3), -3.0f, ""},
                             {"text", stringValue("0x1p3"), 8.0f, ""},
                             {"text above", stringValue("1e39"), 0, outOfRange("1e39", "float")},
                             {"empty text", stringValue(""), 0.0f, ""},
                             {"bool", boolValue(false), 0, invalidKind("float", "bool")}},
                            registry);
    checkAssignCases<double>({{"unsigned", unsignedValue(18446744073709551615u), 18446744073709551615.0, ""},
                              {"enum", enumValue(-4), -4.0, ""},
                              {"overflowing text", stringValue("1e400"), 0, outOfRange("1e400", "double")},
                              {"text with rest", stringValue("1.5e"), 0, incorrectFormat("1.5e", "double")},
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
    EXPECT_EQ(result.errorText(), invalidKind("blob", "string"));
}

} // namespace
} // namespace kiv
