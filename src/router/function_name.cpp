#include "router/function_name.h"

#include "format/message_format.h"

namespace kiv {
namespace {

char asciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char asciiUpper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isWordSeparator(char c) noexcept {
    switch (c) {
    case '!':
    case '+':
    case '-':
    case '.':
    case '/':
    case '_':
        return true;
    default:
        return false;
    }
}

} // namespace

std::string MakeFunctionName(std::string_view methodWord, std::string_view text) {
    std::string joined;
    if (!methodWord.empty()) {
        std::string rest(methodWord.substr(1));
        for (char& c : rest) {
            c = asciiLower(c);
        }
        joined = formatMessage("%1%2/", {methodWord.substr(0, 1), rest});
    }
    joined.append(text);

    std::string name;
    name.reserve(joined.size() + 8);
    bool capitalizeNext = true;
    for (const char c : joined) {
        if (isWordSeparator(c)) {
            capitalizeNext = true;
        } else if (c == '{') {
            name.append("By");
            capitalizeNext = true;
        } else if (c != '}') {
            name.push_back(capitalizeNext ? asciiUpper(c) : c);
            capitalizeNext = false;
        }
    }
    return name;
}

} // namespace kiv
