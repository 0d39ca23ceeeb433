// Named placeholders: "{name}", "{#typed_name}", "{name!}" (silent), "{name?alternative}",
// "{name:spec}" and plain printf directives are turned into positional directives, and the
// named values are recorded in a details map.
#include "format/named_format.h"

#include <array>
#include <charconv>

namespace kiv {
namespace {

constexpr std::array<std::string_view, 7> kTypedSuffixes = {"_bool", "_int",  "_long", "_float",
                                                            "_str",  "_time", "_ip"};

std::string_view suffixOf(NamedValue::Kind kind) noexcept {
    switch (kind) {
    case NamedValue::Kind::Bool:
        return "_bool";
    case NamedValue::Kind::Signed:
    case NamedValue::Kind::Unsigned:
        return "_int";
    case NamedValue::Kind::Double:
        return "_float";
    case NamedValue::Kind::Text:
        break;
    }
    return "_str";
}

bool hasTypedSuffix(std::string_view name) noexcept {
    const std::size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos)
        return false;
    const std::string_view suffix = name.substr(underscore);
    for (const std::string_view known : kTypedSuffixes)
        if (suffix == known)
            return true;
    return false;
}

bool isSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct Placeholder {
    std::string name;
    std::string alternative;
    std::string formatSpec;
    bool typed = false;
    bool silent = false;
    bool hasAlternative = false;
    bool hasFormatSpec = false;
    bool isPrintfDirective = false;
};

// Writes placeholder number `index` with its value; `ownStart` is where this expansion's
// output begins, so that removing white space never reaches into the caller's text.
void emit(Placeholder& placeholder, std::size_t index, const NamedValue& value, std::string& out,
          std::size_t ownStart, NamedDetails& details) {
    if (placeholder.typed && !hasTypedSuffix(placeholder.name))
        placeholder.name += suffixOf(value.kind());
    if (placeholder.hasAlternative && value.isEmptyValue()) {
        out += placeholder.alternative;
        return;
    }
    if (!placeholder.name.empty())
        details.insert_or_assign(placeholder.name, value);
    if (placeholder.silent) {
        std::size_t end = out.size();
        while (end > ownStart && isSpace(out[end - 1]))
            --end;
        out.resize(end);
        return;
    }
    if (placeholder.isPrintfDirective) {
        out += placeholder.formatSpec;
        return;
    }
    char digits[24];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, index).ptr;
    out += '%';
    out.append(digits, static_cast<std::size_t>(digitsEnd - digits));
    if (placeholder.hasFormatSpec) {
        out += '$';
        out += placeholder.formatSpec;
    }
}

// Reads the inside of a placeholder from `pos` (after "{" or "{#") up to its closing brace.
// Returns false when the template ends first.
bool readPlaceholder(std::string_view templ, std::size_t& pos, Placeholder& placeholder) {
    for (; pos < templ.size(); ++pos) {
        char c = templ[pos];
        if (c == '}') {
            ++pos;
            return true;
        }
        const bool escaped = c == '\\' && pos + 1 < templ.size();
        if (escaped) {
            c = templ[++pos];
        } else if (placeholder.hasFormatSpec) {
            // every later character belongs to the format spec
        } else if (c == '!') {
            placeholder.silent = true;
            continue;
        } else if (c == ':') {
            placeholder.hasFormatSpec = true;
            continue;
        } else if (c == '?') {
            placeholder.hasAlternative = true;
            continue;
        } else if (c == '{') {
            continue;
        }
        if (placeholder.hasFormatSpec)
            placeholder.formatSpec += c;
        else if (placeholder.hasAlternative)
            placeholder.alternative += c;
        else
            placeholder.name += c;
    }
    return false;
}

} // namespace

NamedValue NamedValue::boolean(bool value) {
    NamedValue named;
    named.kind_ = Kind::Bool;
    named.number_.b = value;
    return named;
}

NamedValue NamedValue::signedInteger(std::int64_t value) {
    NamedValue named;
    named.kind_ = Kind::Signed;
    named.number_.i = value;
    return named;
}

NamedValue NamedValue::unsignedInteger(std::uint64_t value) {
    NamedValue named;
    named.kind_ = Kind::Unsigned;
    named.number_.u = value;
    return named;
}

NamedValue NamedValue::floating(double value) {
    NamedValue named;
    named.kind_ = Kind::Double;
    named.number_.d = value;
    return named;
}

NamedValue NamedValue::text(std::string_view value) {
    NamedValue named;
    named.kind_ = Kind::Text;
    named.text_ = value;
    return named;
}

bool NamedValue::isEmptyValue() const noexcept {
    switch (kind_) {
    case Kind::Bool:
        return !number_.b;
    case Kind::Signed:
        return number_.i == 0;
    case Kind::Unsigned:
        return number_.u == 0;
    case Kind::Double:
        return number_.d == 0.0;
    case Kind::Text:
        break;
    }
    return text_.empty();
}

FormatArg NamedValue::asFormatArg() const noexcept {
    switch (kind_) {
    case Kind::Bool:
        return FormatArg(number_.b ? 1 : 0);
    case Kind::Signed:
        return FormatArg(number_.i);
    case Kind::Unsigned:
        return FormatArg(number_.u);
    case Kind::Double:
        return FormatArg(number_.d);
    case Kind::Text:
        break;
    }
    return FormatArg(std::string_view(text_));
}

bool operator==(const NamedValue& a, const NamedValue& b) {
    if (a.kind_ != b.kind_)
        return false;
    switch (a.kind_) {
    case NamedValue::Kind::Bool:
        return a.number_.b == b.number_.b;
    case NamedValue::Kind::Signed:
        return a.number_.i == b.number_.i;
    case NamedValue::Kind::Unsigned:
        return a.number_.u == b.number_.u;
    case NamedValue::Kind::Double:
        return a.number_.d == b.number_.d;
    case NamedValue::Kind::Text:
        break;
    }
    return a.text_ == b.text_;
}

void expandNamedPlaceholders(std::string_view templ, std::span<const NamedValue> values, std::string& out,
                             NamedDetails& details) {
    const std::size_t ownStart = out.size();
    std::size_t index = 1; // the placeholder counter
    const auto emitNext = [&](Placeholder& placeholder) {
        if (index <= values.size())
            emit(placeholder, index, values[index - 1], out, ownStart, details);
        else if (placeholder.isPrintfDirective)
            out += placeholder.formatSpec; // left for the positional formatter to end at
        ++index;
    };
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const char c = templ[pos];
        const char following = pos + 1 < templ.size() ? templ[pos + 1] : '\0';
        if (c == '{' && following == '{') {
            out += '{';
            pos += 2;
        } else if (c == '{') {
            Placeholder placeholder;
            placeholder.typed = following == '#';
            pos += placeholder.typed ? 2 : 1;
            if (readPlaceholder(templ, pos, placeholder))
                emitNext(placeholder);
        } else if (c == '}') {
            out += '}';
            pos += following == '}' ? 2 : 1;
        } else if (c == '%' && following == '%') {
            out += "%%";
            pos += 2;
        } else if (c == '%') {
            const std::size_t length = printfDirectiveLength(templ.substr(pos));
            if (length == 0) {
                out += '%'; // not a directive: the positional formatter will stop here
                ++pos;
                continue;
            }
            Placeholder placeholder;
            placeholder.isPrintfDirective = true;
            placeholder.formatSpec = templ.substr(pos, length);
            pos += length;
            emitNext(placeholder);
        } else {
            out += c;
            ++pos;
        }
    }
}

} // namespace kiv
