#include "router/url_template.h"

namespace kiv {
namespace {

bool isExpressionOperator(char c) noexcept {
    switch (c) {
    case '^':
    case '$':
    case '.':
    case '*':
    case '+':
    case '?':
    case '(':
    case ')':
    case '[':
    case ']':
    case '|':
    case '\\':
        return true;
    default:
        return false;
    }
}

unsigned hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return 16;
}

class RegexWriter final : public TemplateReader {
  public:
    explicit RegexWriter(std::vector<PathParameter>& parameters) : parameters_(parameters) {}

    void literal(char c) override {
        if (isExpressionOperator(c)) {
            text_.push_back('\\');
        }
        text_.push_back(c);
    }
    void parameter(const PathParameter& parameter) override {
        switch (parameter.kind) {
        case PathParameterKind::Segment:
            text_.append("([^/]*)");
            break;
        case PathParameterKind::ReservedExpansion:
            text_.append("(.*)");
            break;
        case PathParameterKind::Fragment:
            text_.append("#(.*)");
            break;
        }
        parameters_.push_back(parameter);
    }

    std::string take() { return std::move(text_); }

  private:
    std::vector<PathParameter>& parameters_;
    std::string text_;
};

} // namespace

void readTemplate(std::string_view pathTemplate, TemplateReader& reader) {
    // The kind survives a closing brace: a stray "}" later on reuses the last kind.
    PathParameter current;
    bool inside = false;
    for (const char c : pathTemplate) {
        if (c == '{') {
            current.kind = PathParameterKind::Segment;
            inside = true;
        } else if (c == '}') {
            reader.parameter(current);
            current.name.clear();
            inside = false;
        } else if (inside) {
            if (current.name.empty() && current.kind == PathParameterKind::Segment && c == '+') {
                current.kind = PathParameterKind::ReservedExpansion;
            } else if (current.name.empty() && current.kind == PathParameterKind::Segment && c == '#') {
                current.kind = PathParameterKind::Fragment;
            } else {
                current.name.push_back(c);
            }
        } else {
            reader.literal(c);
        }
    }
}

std::string TemplateToRegex(std::string_view pathTemplate, std::vector<PathParameter>& parameters) {
    RegexWriter writer(parameters);
    readTemplate(pathTemplate, writer);
    return writer.take();
}

std::string UrlDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded.push_back(' ');
        } else if (c != '%') {
            decoded.push_back(c);
        } else if (text.size() - i > 2) {
            const unsigned byte = (hexDigitValue(text[i + 1]) * 16) | hexDigitValue(text[i + 2]);
            decoded.push_back(static_cast<char>(byte & 0xFF));
            i += 2;
        }
        // A "%" without two characters after it is dropped; what follows is kept.
    }
    return decoded;
}

} // namespace kiv
