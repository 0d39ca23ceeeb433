#include "binding/scalar_assign.h"

#include "binding/binding_registry.h"
#include "binding/binding_type_descriptor.h"
#include "binding/conversion_messages.h"
#include "binding/conversion_work.h"
#include "platform/invariant.h"
#include "value/number_reading.h"
#include "value/value.h"

#include <limits>
#include <optional>
#include <string>

namespace kiv {

namespace msg = conversion_messages;

namespace {

// A whole-text reading: its message, when it failed, names the text as given.
bool acceptReading(ConversionWork& work, NumberReading reading, std::string_view text, std::string_view name,
                   std::string_view typeName) {
    if (std::optional<std::string> message = numberReadingMessage(reading, text, name, typeName)) {
        work.failWith(*message);
        return false;
    }
    return true;
}

template <class Number>
bool outOfRange(ConversionWork& work, Number value, std::string_view name, std::string_view typeName) {
    work.fail(kNumberOutOfRange, {value, name, typeName});
    return false;
}

bool invalidKind(ConversionWork& work, const Value& input, std::string_view name, std::string_view typeName) {
    work.fail(msg::kInvalidInputKind, {name, typeName, valueKindName(input.kind())});
    return false;
}

bool required(ConversionWork& work, std::string_view name) {
    work.fail(msg::kRequired, {name});
    return false;
}

} // namespace

bool assignBool(ConversionWork& work, const Value& input, std::string_view name, bool& out) {
    switch (input.kind()) {
    case ValueKind::Empty:
        return required(work, name);
    case ValueKind::Bool:
        out = input.getBool(false);
        return true;
    case ValueKind::String: {
        const std::string_view text = input.getString({});
        if (text == "1" || text == "true") {
            out = true;
            return true;
        }
        if (text == "0" || text == "false") {
            out = false;
            return true;
        }
        work.fail(msg::kBoolIncorrectFormat, {text, name});
        return false;
    }
    default:
        work.fail(msg::kBoolInvalidInputKind, {name, valueKindName(input.kind())});
        return false;
    }
}

bool assignSigned(ConversionWork& work, const Value& input, std::string_view name,
                  const NumericRange<std::int64_t>& range, std::int64_t& out) {
    switch (input.kind()) {
    case ValueKind::Empty:
        return required(work, name);
    case ValueKind::Signed: {
        const std::int64_t value = input.getSigned(0);
        if (value < range.min || value > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = value;
        return true;
    }
    case ValueKind::Unsigned: {
        const std::uint64_t value = input.getUnsigned(0);
        if (value > static_cast<std::uint64_t>(range.max)) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = static_cast<std::int64_t>(value);
        return true;
    }
    case ValueKind::Float: {
        // The bounds are compared as doubles; NaN and 2^63 (where the int64 maximum rounds to
        // as a double) have no integer to truncate to.
        const double value = input.getFloat(0.0);
        const std::optional<std::int64_t> whole = truncateToInt64(value);
        if (!whole || value < static_cast<double>(range.min) || value > static_cast<double>(range.max)) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = *whole;
        return true;
    }
    case ValueKind::String: {
        const std::string_view text = input.getString({});
        return acceptReading(work, readSigned(text, range.min, range.max, out), text, name, range.typeName);
    }
    case ValueKind::Enum: {
        const std::int32_t value = input.getEnum({}).value;
        if (value < range.min || value > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = value;
        return true;
    }
    default:
        return invalidKind(work, input, name, range.typeName);
    }
}

bool assignUnsigned(ConversionWork& work, const Value& input, std::string_view name,
                    const NumericRange<std::uint64_t>& range, std::uint64_t& out) {
    switch (input.kind()) {
    case ValueKind::Empty:
        return required(work, name);
    case ValueKind::Signed: {
        const std::int64_t value = input.getSigned(0);
        if (value < 0 || static_cast<std::uint64_t>(value) > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = static_cast<std::uint64_t>(value);
        return true;
    }
    case ValueKind::Unsigned: {
        const std::uint64_t value = input.getUnsigned(0);
        if (value > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = value;
        return true;
    }
    case ValueKind::Float: {
        const double value = input.getFloat(0.0);
        const std::optional<std::uint64_t> whole = truncateToUInt64(value);
        if (!whole || value > static_cast<double>(range.max)) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = *whole;
        return true;
    }
    case ValueKind::String: {
        const std::string_view text = input.getString({});
        return acceptReading(work, readUnsigned(text, range.max, out), text, name, range.typeName);
    }
    case ValueKind::Enum: {
        const std::int32_t value = input.getEnum({}).value;
        if (value < 0 || static_cast<std::uint64_t>(value) > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = static_cast<std::uint64_t>(value);
        return true;
    }
    default:
        return invalidKind(work, input, name, range.typeName);
    }
}

namespace {

// Integers against a floating range: compared in 64-bit integer arithmetic against the
// bounds truncated to integers, each bound only where it lies within the integer's range.
bool signedFitsFloating(std::int64_t value, const NumericRange<double>& range) noexcept {
    const std::optional<std::int64_t> min = truncateToInt64(range.min);
    const std::optional<std::int64_t> max = truncateToInt64(range.max);
    return !(min && value < *min) && !(max && value > *max);
}

} // namespace

bool assignFloating(ConversionWork& work, const Value& input, std::string_view name,
                    const NumericRange<double>& range, double& out) {
    switch (input.kind()) {
    case ValueKind::Empty:
        return required(work, name);
    case ValueKind::Signed: {
        const std::int64_t value = input.getSigned(0);
        if (!signedFitsFloating(value, range)) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = static_cast<double>(value);
        return true;
    }
    case ValueKind::Unsigned: {
        const std::uint64_t value = input.getUnsigned(0);
        if (const std::optional<std::uint64_t> max = truncateToUInt64(range.max); max && value > *max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = static_cast<double>(value);
        return true;
    }
    case ValueKind::Float: {
        const double value = input.getFloat(0.0);
        if (value < range.min || value > range.max) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = value;
        return true;
    }
    case ValueKind::String: {
        const std::string_view text = input.getString({});
        return acceptReading(work, readDouble(text, range.min, range.max, out), text, name, range.typeName);
    }
    case ValueKind::Enum: {
        const std::int32_t value = input.getEnum({}).value;
        if (!signedFitsFloating(value, range)) {
            return outOfRange(work, value, name, range.typeName);
        }
        out = value;
        return true;
    }
    default:
        return invalidKind(work, input, name, range.typeName);
    }
}

bool assignEnumerator(ConversionWork& work, const Value& input, std::string_view name,
                      const BindingTypeDescriptor* descriptor, std::int32_t& out) {
    KIV_ASSERT(descriptor == nullptr || descriptor->isEnum,
               "an enum converter is given an enum's descriptor");
    const std::string_view enumName = descriptor != nullptr ? std::string_view(descriptor->name) : "enum";
    const auto accept = [&](std::int64_t value) {
        if (descriptor == nullptr || descriptor->enumeratorWithValue(value) == nullptr) {
            return false;
        }
        out = static_cast<std::int32_t>(value);
        return true;
    };
    const auto invalid = [&](FormatArg shown) {
        work.fail(msg::kInvalidEnumerator, {shown, enumName, name});
        return false;
    };
    switch (input.kind()) {
    case ValueKind::Empty:
        return required(work, name);
    case ValueKind::Signed: {
        const std::int64_t value = input.getSigned(0);
        return accept(value) || invalid(value);
    }
    case ValueKind::Unsigned: {
        const std::uint64_t value = input.getUnsigned(0);
        const bool fits = value <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
        return (fits && accept(static_cast<std::int64_t>(value))) || invalid(value);
    }
    case ValueKind::String: {
        // An enumerator name first; else the text as an int32 that some enumerator has.
        const std::string_view text = input.getString({});
        if (const BindingEnumerator* named =
                descriptor != nullptr ? descriptor->enumeratorNamed(text) : nullptr) {
            out = named->value;
            return true;
        }
        std::int64_t number = 0;
        const bool read = readSigned(text, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max(), number) == NumberReading::Ok;
        return (read && accept(number)) || invalid(text);
    }
    case ValueKind::Enum: {
        const std::int32_t value = input.getEnum({}).value;
        return accept(value) || invalid(value);
    }
    default:
        work.fail(msg::kEnumInvalidInputKind, {name, valueKindName(input.kind())});
        return false;
    }
}

void assignString(ConversionWork& work, const Value& input, std::string_view name, std::string& out) {
    if (!work.ok()) {
        out.clear();
        return;
    }
    switch (input.kind()) {
    case ValueKind::Empty:
        required(work, name);
        break;
    case ValueKind::String:
        out.assign(input.getString({}));
        return;
    case ValueKind::Enum: {
        const EnumValue value = input.getEnum({});
        if (const auto enumeratorName = work.registry().enumeratorName(value.type, value.value)) {
            out.assign(*enumeratorName);
            return;
        }
        work.fail(msg::kNoEnumeratorName, {value.value, name});
        break;
    }
    default:
        work.fail(msg::kNotAString, {name});
        break;
    }
    out.clear();
}

} // namespace kiv
