#include "kivhost/serve/request_target.h"

#include <charconv>

namespace kiv::kivhost {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+' && plusIsSpace) {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return decoded;
}

} // namespace

std::optional<RequestTarget> splitTarget(std::string_view target) {
    const std::size_t question = target.find('?');
    std::optional<std::string> path = percentDecoded(target.substr(0, question), false);
    if (!path || path->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    RequestTarget split;
    split.path = std::move(*path);
    if (question != std::string_view::npos) {
        split.query = std::string(target.substr(question + 1));
    }
    return split;
}

std::optional<std::size_t> parseIndex(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        if (percentDecoded(pair.substr(0, equals), true) != std::string(name)) {
            continue;
        }
        return equals == std::string_view::npos ? std::optional<std::string>("")
                                                : percentDecoded(pair.substr(equals + 1), true);
    }
    return std::nullopt;
}

} // namespace kiv::kivhost
