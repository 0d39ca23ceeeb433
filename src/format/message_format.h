// The positional message formatter: "%1", "%2", ... name arguments by position, each
// argument prints in its type's default form, and "%N$spec" or a plain printf directive
// refines it. Every framework message is produced here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace kiv {

// Messages are limited to this many bytes including the terminating NUL.
inline constexpr std::size_t kMessageBufferSize = 4096;

class FormatArg {
  public:
    enum class Type : std::uint8_t { Text, Int32, UInt32, Char, Int64, UInt64, Double, Object };

    FormatArg(std::string_view text) noexcept : type_(Type::Text), text_(text) {}
    FormatArg(const char* text) noexcept : FormatArg(std::string_view(text ? text : "")) {}
    FormatArg(const std::string& text) noexcept : FormatArg(std::string_view(text)) {}
    FormatArg(char c) noexcept : type_(Type::Char) { number_.i = c; }
    FormatArg(double d) noexcept : type_(Type::Double) { number_.d = d; }
    FormatArg(float f) noexcept : FormatArg(static_cast<double>(f)) {}
    FormatArg(bool) = delete; // say which text a flag prints

    // Integers of every width map onto the four integer argument types by size and sign.
    template <class T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
    FormatArg(T value) noexcept {
        if constexpr (std::is_signed_v<T>) {
            type_ = sizeof(T) <= 4 ? Type::Int32 : Type::Int64;
            number_.i = value;
        } else {
            type_ = sizeof(T) <= 4 ? Type::UInt32 : Type::UInt64;
            number_.u = value;
        }
    }

    // An object with a text form (a version, an identifier): formats like text.
    static FormatArg object(std::string_view textForm) noexcept {
        FormatArg arg(textForm);
        arg.type_ = Type::Object;
        return arg;
    }

    Type type() const noexcept { return type_; }
    std::string_view text() const noexcept { return text_; }
    std::int64_t signedValue() const noexcept { return number_.i; }
    std::uint64_t unsignedValue() const noexcept { return number_.u; }
    double doubleValue() const noexcept { return number_.d; }

  private:
    Type type_ = Type::Text;
    std::string_view text_;
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
    } number_{};
};

// The length of the printf directive at the start of `text` ("%", flags, width, precision,
// length modifier and conversion), 0 when `text` does not start with a complete one.
[[nodiscard]] std::size_t printfDirectiveLength(std::string_view text) noexcept;

// The length of the "%N" or "%N$spec" directive at the start of `text`, read as the formatter
// reads one whose number names an argument; 0 when `text` does not start with one or the
// directive is malformed, which ends formatting.
[[nodiscard]] std::size_t positionalDirectiveLength(std::string_view text) noexcept;

// Formats `templ` into `out` (always NUL-terminated, cut at size - 1) and returns the number
// of bytes written. A malformed directive, or one naming an argument beyond the count, ends
// the output there.
std::size_t formatPositional(char* out, std::size_t size, std::string_view templ,
                             std::span<const FormatArg> args) noexcept;

// The same into a string of at most kMessageBufferSize - 1 bytes.
[[nodiscard]] std::string formatMessage(std::string_view templ, std::span<const FormatArg> args);
[[nodiscard]] inline std::string formatMessage(std::string_view templ,
                                               std::initializer_list<FormatArg> args) {
    return formatMessage(templ, std::span<const FormatArg>(args.begin(), args.size()));
}

} // namespace kiv
