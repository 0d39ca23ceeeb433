// Prefix tests of content types, which compare without regard to ASCII letter case.
#pragma once

#include <cstddef>
#include <string_view>

namespace kiv {

constexpr bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) noexcept {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        a = a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a;
        b = b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b;
        if (a != b) {
            return false;
        }
    }
    return true;
}

} // namespace kiv
