// Named placeholders: "{name}", "{#typed_name}", "{name!}" (silent), "{name?alternative}",
// "{name:spec}" and plain printf directives are turned into positional directives, and the
// named values are recorded in a details map.
#include "format/named_format.h"
#include "platform/ascii.h"

#include <array>
#include <charconv>
#include <optional>

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
    if (underscore == std::string_view::npos) {
        return false;
    }
    const std::string_view suffix = name.substr(underscore);
    for (const std::string_view known : kTypedSuffixes) {
        if (suffix == known) {
            return true;
        }
    }
    return false;
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

// The conversion that prints a value as its plain "%N" would.
char defaultConversion(NamedValue::Kind kind) noexcept {
    switch (kind) {
    case NamedValue::Kind::Bool:
    case NamedValue::Kind::Signed:
        return 'd';
    case NamedValue::Kind::Unsigned:
        return 'u';
    case NamedValue::Kind::Double:
        return 'g';
    case NamedValue::Kind::Text:
        break;
    }
    return 's';
}

// The positional template being written. A directive without a conversion ("%1", "%1$5")
// would read on into a digit, a "$" or a conversion letter written right after it ("{ms}0"
// must not become "%10"), so before such a character is appended the directive is closed
// with a conversion that prints the same.
class PositionalTemplate {
  public:
    explicit PositionalTemplate(std::string& out) : out_(out), start_(out.size()) {}

    void append(std::string_view text) {
        // Trimming white space may bring a directive back to the end of the output.
        const bool directiveEnds = openDirective_ < out_.size() && out_.size() <= openEnd_;
        if (!text.empty() && directiveEnds) {
            const std::string_view directive = std::string_view(out_).substr(openDirective_);
            if (positionalDirectiveLength(std::string(directive) + text[0]) !=
                positionalDirectiveLength(directive)) {
                out_ += closing_;
                openDirective_ = std::string::npos;
            }
        }
        out_ += text;
    }
    void append(char c) { append(std::string_view(&c, 1)); }

    // "%index", or "%index$spec" when there is a spec; `conversion` closes it if need be.
    void appendDirective(std::size_t index, std::optional<std::string_view> spec, char conversion) {
        char digits[24];
        const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, index).ptr;
        std::string directive = "%";
        directive.append(digits, static_cast<std::size_t>(digitsEnd - digits));
        if (spec) {
            directive += '$';
            directive += *spec;
        }
        append(directive);
        openDirective_ = out_.size() - directive.size();
        openEnd_ = out_.size();
        closing_.clear();
        if (!spec) {
            closing_ += '$';
        }
        closing_ += conversion;
    }

    // Removes trailing white space, never reaching into the caller's text before this template.
    void trimTrailingSpace() {
        std::size_t end = out_.size();
        while (end > start_ && platform::isAsciiSpace(out_[end - 1])) {
            --end;
        }
        out_.resize(end);
    }

  private:
    std::string& out_;
    std::size_t start_;
    // The last directive written and where it ended, until it is closed.
    std::size_t openDirective_ = std::string::npos;
    std::size_t openEnd_ = 0;
    std::string closing_;
};

std::optional<std::string_view> specOf(const Placeholder& placeholder) noexcept {
    return placeholder.hasFormatSpec ? std::optional<std::string_view>(placeholder.formatSpec) : std::nullopt;
}

// Writes placeholder number `index` with its value.
void emit(Placeholder& placeholder, std::size_t index, const NamedValue& value, PositionalTemplate& out,
          NamedDetails& details) {
    if (placeholder.typed && !hasTypedSuffix(placeholder.name)) {
        placeholder.name += suffixOf(value.kind());
    }
    if (placeholder.hasAlternative && value.isEmptyValue()) {
        out.append(placeholder.alternative);
        return;
    }
    if (!placeholder.name.empty()) {
        details.insert_or_assign(placeholder.name, value);
    }
    if (placeholder.silent) {
        out.trimTrailingSpace();
        return;
    }
    out.appendDirective(index, specOf(placeholder), defaultConversion(value.kind()));
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
        if (placeholder.hasFormatSpec) {
            placeholder.formatSpec += c;
        } else if (placeholder.hasAlternative) {
            placeholder.alternative += c;
        } else {
            placeholder.name += c;
        }
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
    if (a.kind_ != b.kind_) {
        return false;
    }
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
    PositionalTemplate positional(out);
    std::size_t index = 1; // the placeholder counter
    const auto emitNext = [&](Placeholder& placeholder) {
        if (index <= values.size()) {
            emit(placeholder, index, values[index - 1], positional, details);
        } else if (placeholder.isPrintfDirective) { // names a missing value: formatting ends there
            positional.appendDirective(index, specOf(placeholder), 's');
        }
        ++index;
    };
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const char c = templ[pos];
        const char following = pos + 1 < templ.size() ? templ[pos + 1] : '\0';
        if (c == '{' && following == '{') {
            positional.append('{');
            pos += 2;
        } else if (c == '{') {
            Placeholder placeholder;
            placeholder.typed = following == '#';
            pos += placeholder.typed ? 2 : 1;
            if (readPlaceholder(templ, pos, placeholder)) {
                emitNext(placeholder);
            }
        } else if (c == '}') {
            positional.append('}');
            pos += following == '}' ? 2 : 1;
        } else if (c == '%' && following == '%') {
            positional.append("%%");
            pos += 2;
        } else if (c == '%') {
            const std::size_t length = printfDirectiveLength(templ.substr(pos));
            if (length == 0) {
                positional.append('%'); // not a directive: the positional formatter will stop here
                ++pos;
                continue;
            }
            // The directive takes the value at its place among the placeholders, so it is
            // written with that position rather than left to take the next in sequence.
            Placeholder placeholder;
            placeholder.isPrintfDirective = true;
            placeholder.hasFormatSpec = true;
            placeholder.formatSpec = templ.substr(pos + 1, length - 1);
            pos += length;
            emitNext(placeholder);
        } else {
            positional.append(c);
            ++pos;
        }
    }
}

} // namespace kiv
