// Named placeholders on top of the positional formatter: "{method} {url}: {error}" becomes
// "%1 %2: %3" plus a details map of named, typed values, so an error carries both a readable
// text and its values in structured form.
#pragma once

#include "format/message_format.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace kiv {

class NamedValue {
  public:
    enum class Kind : std::uint8_t { Bool = 1, Signed = 2, Unsigned = 3, Double = 4, Text = 5 };

    [[nodiscard]] static NamedValue boolean(bool value);
    [[nodiscard]] static NamedValue signedInteger(std::int64_t value);
    [[nodiscard]] static NamedValue unsignedInteger(std::uint64_t value);
    [[nodiscard]] static NamedValue floating(double value);
    [[nodiscard]] static NamedValue text(std::string_view value);

    Kind kind() const noexcept { return kind_; }
    bool boolValue() const noexcept { return number_.b; }
    std::int64_t signedValue() const noexcept { return number_.i; }
    std::uint64_t unsignedValue() const noexcept { return number_.u; }
    double doubleValue() const noexcept { return number_.d; }
    const std::string& textValue() const noexcept { return text_; }

    // Whether the value is one that an alternative text stands in for.
    [[nodiscard]] bool isEmptyValue() const noexcept;
    // The value as a positional-formatter argument (a flag prints as 0 or 1).
    [[nodiscard]] FormatArg asFormatArg() const noexcept;

    friend bool operator==(const NamedValue&, const NamedValue&);

  private:
    Kind kind_ = Kind::Text;
    union {
        bool b;
        std::int64_t i;
        std::uint64_t u;
        double d;
    } number_{};
    std::string text_;
};

using NamedDetails = std::map<std::string, NamedValue, std::less<>>;

// Appends the positional form of `templ` to `out` and records named values in `details`.
// The caller then formats `out` positionally with the same values.
void expandNamedPlaceholders(std::string_view templ, std::span<const NamedValue> values, std::string& out,
                             NamedDetails& details);

} // namespace kiv
