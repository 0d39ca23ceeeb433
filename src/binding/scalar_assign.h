// Generic value to native scalar: the input checks and messages shared by every converter of
// a scalar type. Each function expects an ok result on entry and returns true with `out` set,
// or records the error and returns false.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

class ConversionWork;
class Value;
struct BindingTypeDescriptor;

template <class T> struct NumericRange {
    T min;
    T max;
    std::string_view typeName; // "int32", "double", ...
};

[[nodiscard]] bool assignBool(ConversionWork& work, const Value& input, std::string_view name, bool& out);
[[nodiscard]] bool assignSigned(ConversionWork& work, const Value& input, std::string_view name,
                                const NumericRange<std::int64_t>& range, std::int64_t& out);
[[nodiscard]] bool assignUnsigned(ConversionWork& work, const Value& input, std::string_view name,
                                  const NumericRange<std::uint64_t>& range, std::uint64_t& out);
[[nodiscard]] bool assignFloating(ConversionWork& work, const Value& input, std::string_view name,
                                  const NumericRange<double>& range, double& out);
// The enumerator's value; `descriptor` gives the enumerators and the enum's name.
[[nodiscard]] bool assignEnumerator(ConversionWork& work, const Value& input, std::string_view name,
                                    const BindingTypeDescriptor* descriptor, std::int32_t& out);
// Replaces `out` in every case: by the text on success, else by the empty string.
void assignString(ConversionWork& work, const Value& input, std::string_view name, std::string& out);

} // namespace kiv
