// The positional formatter. Each directive is turned into a printf format spec that is
// rebuilt from scratch for the argument's own C type, so snprintf never sees a conversion,
// length modifier, flag or precision that does not fit the value it is handed.
#include "format/message_format.h"
#include "platform/ascii.h"

#include "platform/invariant.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace kiv {
namespace {

// A format spec longer than this ends formatting.
constexpr std::size_t kMaxSpecificationLength = 59;

enum PrintfFlag : std::uint8_t {
    kFlagLeft = 1,
    kFlagSign = 2,
    kFlagSpace = 4,
    kFlagAlternate = 8,
    kFlagZero = 16,
};

// A width or a precision: absent, written as digits, or taken from an argument ("*" takes
// the next one in sequence, "*N$" argument N).
struct PrintfField {
    enum class Source : std::uint8_t { None, Literal, NextArgument, Argument };
    Source source = Source::None;
    std::uint32_t value = 0; // the digits (saturated) or the 1-based argument number
};

// Of the length modifiers only "h" and "hh" survive: they narrow the value before it is
// printed, as printf does. The others only name the C type that printf would be handed, and
// each argument is handed over as its own type.
enum class Narrowing : std::uint8_t { None, Short, Char };

// A printf format spec as the template writes it.
struct PrintfDirective {
    std::uint8_t flags = 0;
    PrintfField width;
    PrintfField precision;
    Narrowing narrowing = Narrowing::None;
    char conversion = 0;    // 0 when the format spec ends without one
    std::size_t length = 0; // characters of the template that the format spec spans
};

constexpr std::string_view kConversions = "diouxXcsaAeEfFgGpn";

std::uint8_t flagOf(char c) noexcept {
    switch (c) {
    case '-':
        return kFlagLeft;
    case '+':
        return kFlagSign;
    case ' ':
        return kFlagSpace;
    case '#':
        return kFlagAlternate;
    case '0':
        return kFlagZero;
    default:
        return 0;
    }
}

// Digits at `pos`, saturated at the largest 32-bit value.
std::uint32_t readDigits(std::string_view text, std::size_t& pos) noexcept {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t value = 0;
    for (; pos < text.size() && platform::isAsciiDigit(text[pos]); ++pos) {
        const auto digit = static_cast<std::uint32_t>(text[pos] - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

// An argument number: digits starting with 1-9, saturated. Returns the count of digits
// read, 0 when `text` does not start with one.
std::size_t readArgumentNumber(std::string_view text, std::uint32_t& number) noexcept {
    if (text.empty() || text[0] < '1' || text[0] > '9') {
        return 0;
    }
    std::size_t pos = 0;
    number = readDigits(text, pos);
    return pos;
}

// A width or precision at `pos`: digits, "*" or "*N$". False when malformed.
bool readField(std::string_view text, std::size_t& pos, PrintfField& field) noexcept {
    if (pos < text.size() && text[pos] == '*') {
        ++pos;
        std::uint32_t number = 0;
        const std::size_t digits = readArgumentNumber(text.substr(pos), number);
        if (digits == 0) {
            if (pos < text.size() && platform::isAsciiDigit(text[pos])) {
                return false; // "*0..." names no argument
            }
            field.source = PrintfField::Source::NextArgument;
            return true;
        }
        pos += digits;
        if (pos >= text.size() || text[pos] != '$') {
            return false;
        }
        ++pos;
        field.source = PrintfField::Source::Argument;
        field.value = number;
        return true;
    }
    if (pos < text.size() && platform::isAsciiDigit(text[pos])) {
        field.source = PrintfField::Source::Literal;
        field.value = readDigits(text, pos);
    }
    return true;
}

Narrowing readLengthModifier(std::string_view text, std::size_t& pos) noexcept {
    if (pos >= text.size()) {
        return Narrowing::None;
    }
    const char c = text[pos];
    if (c == 'h' || c == 'l') {
        ++pos;
        const bool doubled = pos < text.size() && text[pos] == c;
        if (doubled) {
            ++pos;
        }
        if (c == 'h') {
            return doubled ? Narrowing::Char : Narrowing::Short;
        }
    } else if (c == 'L' || c == 'j' || c == 't' || c == 'z') {
        ++pos;
    }
    return Narrowing::None;
}

// Reads a format spec at the start of `text` (the characters after "%" or "%N$"). Returns
// nothing when it is malformed ("*" followed by digits without "$") or longer than
// kMaxSpecificationLength.
std::optional<PrintfDirective> readPrintfDirective(std::string_view text) noexcept {
    // Nothing beyond the limit can belong to an acceptable format spec.
    const std::string_view spec = text.substr(0, kMaxSpecificationLength + 1);
    PrintfDirective directive;
    std::size_t pos = 0;
    for (; pos < spec.size(); ++pos) {
        const std::uint8_t flag = flagOf(spec[pos]);
        if (flag == 0) {
            break;
        }
        directive.flags |= flag;
    }
    if (!readField(spec, pos, directive.width)) {
        return std::nullopt;
    }
    if (pos < spec.size() && spec[pos] == '.') {
        ++pos;
        if (!readField(spec, pos, directive.precision)) {
            return std::nullopt;
        }
        if (directive.precision.source == PrintfField::Source::None) {
            directive.precision.source = PrintfField::Source::Literal; // "." alone is precision 0
        }
    }
    directive.narrowing = readLengthModifier(spec, pos);
    if (pos < spec.size() && kConversions.find(spec[pos]) != std::string_view::npos) {
        directive.conversion = spec[pos++];
    }
    if (pos > kMaxSpecificationLength) {
        return std::nullopt;
    }
    directive.length = pos;
    return directive;
}

// Widths and precisions are capped here. Output is limited by its buffer, so beyond the cap
// only padding that could never be seen would change, while snprintf would still spend
// time producing it.
constexpr std::int64_t kMaxFieldWidth = std::int64_t{1} << 20;

bool isOneOf(char c, std::string_view set) noexcept {
    return set.find(c) != std::string_view::npos;
}

// The conversions an argument accepts; the first is its default.
std::string_view acceptedConversions(FormatArg::Type type) noexcept {
    switch (type) {
    case FormatArg::Type::Int32:
    case FormatArg::Type::Int64:
        return "dciouxX";
    case FormatArg::Type::UInt32:
    case FormatArg::Type::UInt64:
        return "ucdioxX";
    case FormatArg::Type::Char:
        return "cdiouxX";
    case FormatArg::Type::Double:
        return "gaefGAEF";
    case FormatArg::Type::Text:
    case FormatArg::Type::Object:
        break;
    }
    return "s";
}

bool isInteger(FormatArg::Type type) noexcept {
    return type != FormatArg::Type::Text && type != FormatArg::Type::Object &&
           type != FormatArg::Type::Double;
}
bool isWide(FormatArg::Type type) noexcept {
    return type == FormatArg::Type::Int64 || type == FormatArg::Type::UInt64;
}

// The two's-complement bits of an integer argument.
std::uint64_t integerBits(const FormatArg& arg) noexcept {
    const bool isUnsigned = arg.type() == FormatArg::Type::UInt32 || arg.type() == FormatArg::Type::UInt64;
    return isUnsigned ? arg.unsignedValue() : static_cast<std::uint64_t>(arg.signedValue());
}

// An integer argument used as a width or precision, clamped to +-kMaxFieldWidth.
std::int64_t clampedFieldValue(const FormatArg& arg) noexcept {
    if (arg.type() == FormatArg::Type::UInt32 || arg.type() == FormatArg::Type::UInt64) {
        return static_cast<std::int64_t>(std::min<std::uint64_t>(arg.unsignedValue(), kMaxFieldWidth));
    }
    return std::clamp<std::int64_t>(arg.signedValue(), -kMaxFieldWidth, kMaxFieldWidth);
}

// The output buffer: always terminated, never written beyond size - 1 characters.
class BoundedOutput {
  public:
    BoundedOutput(char* out, std::size_t size) noexcept : out_(out), capacity_(size - 1) {
        KIV_ASSERT(out != nullptr && size > 0,
                   "the caller turns away a buffer without room for the terminator");
        out_[0] = '\0';
    }

    std::size_t length() const noexcept { return length_; }
    std::size_t room() const noexcept { return capacity_ - length_; }
    bool full() const noexcept { return length_ == capacity_; }

    void append(std::string_view text) noexcept {
        const std::size_t count = std::min(text.size(), room());
        std::memcpy(out_ + length_, text.data(), count);
        length_ += count;
        out_[length_] = '\0';
    }

    // Prints one piece; false when snprintf reports an error (nothing is kept then).
    template <class... Values> bool print(const char* spec, Values... values) noexcept {
        const int written = std::snprintf(out_ + length_, room() + 1, spec, values...);
        if (written < 0) {
            out_[length_] = '\0';
            return false;
        }
        length_ += std::min(static_cast<std::size_t>(written), room());
        return true;
    }

  private:
    char* out_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// A directive with its width and precision resolved to numbers.
struct ResolvedDirective {
    std::uint8_t flags = 0;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> precision;
    Narrowing narrowing = Narrowing::None;
    char conversion = 0;
};

// A printf format spec built character by character.
class SpecText {
  public:
    void push(char c) noexcept {
        KIV_ASSERT(length_ + 1 < sizeof text_, "fields are capped, so a rebuilt spec always fits");
        text_[length_++] = c;
    }
    void push(std::string_view text) noexcept {
        for (const char c : text) {
            push(c);
        }
    }
    void pushNumber(std::int64_t value) noexcept {
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        push(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    const char* c_str() noexcept {
        text_[length_] = '\0';
        return text_;
    }

  private:
    // The longest spec is "%", five flags, two fields of at most 7 digits (kMaxFieldWidth),
    // ".", "ll" and the conversion.
    char text_[48];
    std::size_t length_ = 0;
};

// Keeps only the flags whose meaning C defines for the conversion.
std::uint8_t flagsFor(char conversion, std::uint8_t flags) noexcept {
    std::uint8_t kept = flags & kFlagLeft;
    if (isOneOf(conversion, "oxXaAeEfFgG")) {
        kept |= flags & kFlagAlternate;
    }
    if (isOneOf(conversion, "diouxXaAeEfFgG")) {
        kept |= flags & kFlagZero;
    }
    if (isOneOf(conversion, "diaAeEfFgG")) {
        kept |= flags & (kFlagSign | kFlagSpace);
    }
    return kept;
}

bool printArgument(BoundedOutput& out, const FormatArg& arg, const ResolvedDirective& directive) noexcept {
    const std::string_view accepted = acceptedConversions(arg.type());
    const char conversion = directive.conversion != 0 && isOneOf(directive.conversion, accepted)
                                ? directive.conversion
                                : accepted[0];

    std::uint8_t flags = directive.flags;
    std::int64_t width = directive.width.value_or(0);
    if (width < 0) { // a negative width from an argument means left adjustment
        flags |= kFlagLeft;
        width = -width;
    }
    SpecText spec;
    spec.push('%');
    flags = flagsFor(conversion, flags);
    for (const auto& [flag, c] : {std::pair{kFlagLeft, '-'},
                                  {kFlagSign, '+'},
                                  {kFlagSpace, ' '},
                                  {kFlagAlternate, '#'},
                                  {kFlagZero, '0'}}) {
        if (flags & flag) {
            spec.push(c);
        }
    }
    if (width > 0) {
        spec.pushNumber(width);
    }

    if (conversion == 's') {
        // The text is not terminated: its length bounds the precision. Beyond the cap plus
        // the room left, neither the padding nor the visible characters could change.
        const std::string_view text = arg.text();
        const auto limit = static_cast<std::size_t>(
            std::min<std::int64_t>(kMaxFieldWidth + std::int64_t(out.room()), INT_MAX));
        std::size_t precision = std::min(text.size(), limit);
        if (directive.precision && *directive.precision >= 0) {
            precision = std::min(precision, static_cast<std::size_t>(*directive.precision));
        }
        spec.push(".*s");
        return out.print(spec.c_str(), static_cast<int>(precision), text.data() ? text.data() : "");
    }
    if (conversion != 'c' && directive.precision && *directive.precision >= 0) {
        spec.push('.');
        spec.pushNumber(*directive.precision);
    }
    const bool isNumberConversion = isOneOf(conversion, "diouxX");
    const Narrowing narrowing = isNumberConversion ? directive.narrowing : Narrowing::None;
    // A narrowed value is handed over as an int, and snprintf narrows it as the modifier says.
    const bool wide = isWide(arg.type()) && narrowing == Narrowing::None;
    if (narrowing != Narrowing::None) {
        spec.push(narrowing == Narrowing::Char ? "hh" : "h");
    } else if (isNumberConversion && wide) {
        spec.push("ll");
    }
    spec.push(conversion);

    if (!isInteger(arg.type())) {
        return out.print(spec.c_str(), arg.doubleValue());
    }
    const std::uint64_t bits = integerBits(arg);
    if (conversion == 'c') {
        return out.print(spec.c_str(), static_cast<int>(static_cast<unsigned char>(bits)));
    }
    const bool isSignedConversion = conversion == 'd' || conversion == 'i';
    if (wide) {
        if (isSignedConversion) {
            return out.print(spec.c_str(), static_cast<long long>(bits));
        }
        return out.print(spec.c_str(), static_cast<unsigned long long>(bits));
    }
    if (isSignedConversion) {
        return out.print(spec.c_str(), static_cast<int>(static_cast<std::int32_t>(bits)));
    }
    return out.print(spec.c_str(), static_cast<unsigned>(bits));
}

// Walks a template left to right, keeping the sequence counter of the directives that do
// not name their argument.
class PositionalFormatter {
  public:
    PositionalFormatter(BoundedOutput& out, std::span<const FormatArg> args) noexcept
        : out_(out), args_(args) {}

    void run(std::string_view templ) noexcept {
        std::size_t pos = 0;
        while (pos < templ.size() && !out_.full()) {
            const std::size_t percent = std::min(templ.find('%', pos), templ.size());
            out_.append(templ.substr(pos, percent - pos));
            if (percent == templ.size()) {
                return;
            }
            pos = percent + 1;
            if (pos < templ.size() && templ[pos] == '%') {
                out_.append("%");
                ++pos;
            } else if (!directive(templ, pos)) {
                return;
            }
        }
    }

  private:
    // The argument with a 1-based number; nullptr beyond the count.
    const FormatArg* argument(std::uint64_t number) const noexcept {
        return number >= 1 && number <= args_.size() ? &args_[number - 1] : nullptr;
    }

    // Resolves a width or precision; false when it names a missing or non-integer argument.
    bool resolve(const PrintfField& field, std::optional<std::int64_t>& value) noexcept {
        const FormatArg* arg = nullptr;
        switch (field.source) {
        case PrintfField::Source::None:
            return true;
        case PrintfField::Source::Literal:
            value = std::min<std::int64_t>(field.value, kMaxFieldWidth);
            return true;
        case PrintfField::Source::NextArgument:
            arg = argument(next_++);
            break;
        case PrintfField::Source::Argument:
            arg = argument(field.value);
            break;
        }
        if (arg == nullptr || !isInteger(arg->type())) {
            return false;
        }
        value = clampedFieldValue(*arg);
        return true;
    }

    // One directive starting after its "%"; false when formatting ends here.
    bool directive(std::string_view templ, std::size_t& pos) noexcept {
        std::uint32_t number = 0;
        const std::size_t digits = readArgumentNumber(templ.substr(pos), number);
        const bool namesArgument = digits != 0 && number <= args_.size();
        if (namesArgument && (pos + digits >= templ.size() || templ[pos + digits] != '$')) {
            pos += digits; // "%N": the argument's default form
            return printArgument(out_, args_[number - 1], ResolvedDirective{});
        }
        if (namesArgument) {
            pos += digits + 1; // past "N$"
        }
        const std::optional<PrintfDirective> spec = readPrintfDirective(templ.substr(pos));
        if (!spec || (!namesArgument && spec->conversion == 0)) {
            return false;
        }
        pos += spec->length;
        ResolvedDirective resolved;
        resolved.flags = spec->flags;
        resolved.narrowing = spec->narrowing;
        resolved.conversion = spec->conversion;
        if (!resolve(spec->width, resolved.width) || !resolve(spec->precision, resolved.precision)) {
            return false;
        }
        const FormatArg* arg = argument(namesArgument ? number : next_++);
        return arg != nullptr && printArgument(out_, *arg, resolved);
    }

    BoundedOutput& out_;
    std::span<const FormatArg> args_;
    std::uint64_t next_ = 1;
};

} // namespace

std::size_t printfDirectiveLength(std::string_view text) noexcept {
    if (text.empty() || text[0] != '%') {
        return 0;
    }
    const std::optional<PrintfDirective> directive = readPrintfDirective(text.substr(1));
    return directive && directive->conversion != 0 ? 1 + directive->length : 0;
}

std::size_t positionalDirectiveLength(std::string_view text) noexcept {
    std::uint32_t number = 0;
    const std::size_t digits =
        text.empty() || text[0] != '%' ? 0 : readArgumentNumber(text.substr(1), number);
    if (digits == 0) {
        return 0;
    }
    const std::size_t afterNumber = 1 + digits;
    if (afterNumber >= text.size() || text[afterNumber] != '$') {
        return afterNumber;
    }
    const std::optional<PrintfDirective> spec = readPrintfDirective(text.substr(afterNumber + 1));
    return spec ? afterNumber + 1 + spec->length : 0;
}

std::size_t formatPositional(char* out, std::size_t size, std::string_view templ,
                             std::span<const FormatArg> args) noexcept {
    if (out == nullptr || size == 0) {
        return 0;
    }
    BoundedOutput output(out, size);
    PositionalFormatter(output, args).run(templ);
    return output.length();
}

std::string formatMessage(std::string_view templ, std::span<const FormatArg> args) {
    char buffer[kMessageBufferSize];
    const std::size_t length = formatPositional(buffer, sizeof buffer, templ, args);
    return std::string(buffer, length);
}

} // namespace kiv
