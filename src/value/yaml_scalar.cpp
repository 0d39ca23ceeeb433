#include "value/yaml_scalar.h"

#include "format/message_format.h"
#include "value/number_reading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kiv {
namespace {

constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";
constexpr std::string_view kFloatTag = "tag:yaml.org,2002:float";
constexpr std::string_view kBoolTag = "tag:yaml.org,2002:bool";

// Tagged numbers are checked like any native assignment of a text, under the target name
// "yaml".
constexpr std::string_view kTargetName = "yaml";
constexpr std::string_view kUnsupportedTag = "Unsupported YAML tag '%1'.";

constexpr std::array<std::string_view, 4> kNullSpellings = {"~", "null", "Null", "NULL"};
constexpr std::array<std::string_view, 11> kTrueSpellings = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                             "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::array<std::string_view, 11> kFalseSpellings = {"false", "False", "FALSE", "n",   "N",  "no",
                                                              "No",    "NO",    "off",   "Off", "OFF"};

template <std::size_t N> bool isOneOf(std::string_view text, const std::array<std::string_view, N>& set) {
    return std::find(set.begin(), set.end(), text) != set.end();
}

std::optional<std::string> assignTaggedInteger(Value& target, std::string_view text) {
    if (text.starts_with('-')) {
        std::int64_t value = 0;
        const NumberReading reading = readSigned(text, std::numeric_limits<std::int64_t>::min(),
                                                 std::numeric_limits<std::int64_t>::max(), value);
        target.setSigned(value);
        return numberReadingMessage(reading, text, kTargetName, "int64_t");
    }
    std::uint64_t value = 0;
    const NumberReading reading = readUnsigned(text, std::numeric_limits<std::uint64_t>::max(), value);
    target.setUnsigned(value);
    return numberReadingMessage(reading, text, kTargetName, "uint64_t");
}

std::optional<std::string> assignTaggedFloat(Value& target, std::string_view text) {
    constexpr double kMax = std::numeric_limits<double>::max();
    double value = 0.0;
    const NumberReading reading = readDouble(text, -kMax, kMax, value);
    target.setFloat(value);
    return numberReadingMessage(reading, text, kTargetName, "double");
}

// A number without fraction becomes an integer of the matching sign. One beyond the 64-bit
// ranges (or negative infinity) has no integer form, so it stays a double rather than being
// converted with an undefined result.
void assignPlainNumber(Value& target, double number) {
    double whole;
    if (std::modf(number, &whole) == 0.0) { // NaN compares unequal: it stays a double
        if (number >= 0.0) {
            if (const std::optional<std::uint64_t> unsignedWhole = truncateToUInt64(number)) {
                target.setUnsigned(*unsignedWhole);
                return;
            }
        } else if (const std::optional<std::int64_t> signedWhole = truncateToInt64(number)) {
            target.setSigned(*signedWhole);
            return;
        }
    }
    target.setFloat(number);
}

void assignPlain(Value& target, std::string_view text) {
    if (isYamlNull(text)) {
        target.setEmpty();
        return;
    }
    const DoublePrefix number = readDoublePrefix(text);
    if (number.consumed == text.size() && number.value != std::numeric_limits<double>::infinity()) {
        assignPlainNumber(target, number.value);
        return;
    }
    if (isYamlTrue(text)) {
        target.setBool(true);
    } else if (isYamlFalse(text)) {
        target.setBool(false);
    } else {
        target.setString(text);
    }
}

} // namespace

bool isYamlNull(std::string_view text) noexcept {
    return text.empty() || isOneOf(text, kNullSpellings);
}
bool isYamlTrue(std::string_view text) noexcept {
    return isOneOf(text, kTrueSpellings);
}
bool isYamlFalse(std::string_view text) noexcept {
    return isOneOf(text, kFalseSpellings);
}

std::optional<std::string> assignYamlScalar(Value& target, const YamlScalar& scalar) {
    if (scalar.tag.empty()) {
        if (scalar.quoted) {
            target.setString(scalar.text);
        } else {
            assignPlain(target, scalar.text);
        }
        return std::nullopt;
    }
    if (scalar.tag == kYamlStringTag) {
        target.setString(scalar.text);
        return std::nullopt;
    }
    if (scalar.tag == kIntTag) {
        return assignTaggedInteger(target, scalar.text);
    }
    if (scalar.tag == kFloatTag) {
        return assignTaggedFloat(target, scalar.text);
    }
    if (scalar.tag == kBoolTag) {
        if (isYamlTrue(scalar.text)) {
            target.setBool(true);
        } else if (isYamlFalse(scalar.text)) {
            target.setBool(false);
        } else {
            target.setEmpty(); // neither spelling: no value, and no error
        }
        return std::nullopt;
    }
    return formatMessage(kUnsupportedTag, {scalar.tag});
}

} // namespace kiv
