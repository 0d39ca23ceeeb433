// Character classes of the C locale, for the readers of numbers, names and placeholders: the
// <cctype> functions depend on the process's locale and take an int that a negative char must not
// be.
#pragma once

namespace kiv::platform {

[[nodiscard]] constexpr bool isAsciiDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

[[nodiscard]] constexpr bool isAsciiSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace kiv::platform
