// The identity of one native type: a 32-bit number fixed at build time and a name. Every
// native type gets exactly one identity object in the process; identities compare by number.
//
// The number is the FNV-1a hash of the compiler's spelling of the type, unless the type
// fixes its own through a specialisation of BindingTypeIdentity:
//
//     template <> struct kiv::BindingTypeIdentity<PluginResourceEvent> {
//         static constexpr std::uint32_t hash = 0xA54F35FD;
//     };
//
// The name is "#" followed by the number in eight upper-case hex digits, unless the
// specialisation also gives `static constexpr const char* name`.
#pragma once

#include "value/fnv1a.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace kiv {

struct BindingTypeId {
    std::uint32_t hash = 0;
    const char* name = "";

    friend constexpr bool operator==(const BindingTypeId& a, const BindingTypeId& b) noexcept {
        return a.hash == b.hash;
    }
};

// A type registered under the reserved identity is found by name only: the registry never
// enters it into its identity index. No native type can hash to it.
inline constexpr std::uint32_t kReservedBindingTypeHash = 0;
const BindingTypeId& reservedBindingTypeId() noexcept;

template <class T> struct BindingTypeIdentity {};

// "#" and eight upper-case hex digits, NUL-terminated.
constexpr std::array<char, 10> bindingTypeNumberName(std::uint32_t hash) noexcept {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 10> text{};
    text[0] = '#';
    for (int i = 0; i < 8; ++i) {
        text[8 - i] = kDigits[(hash >> (4 * i)) & 0xF];
    }
    text[9] = '\0';
    return text;
}

namespace detail {

template <class T> constexpr std::string_view compilerTypeSpelling() noexcept {
    return __PRETTY_FUNCTION__;
}

template <class T> constexpr std::uint32_t nativeTypeHash() noexcept {
    if constexpr (requires { BindingTypeIdentity<T>::hash; }) {
        return BindingTypeIdentity<T>::hash;
    } else {
        return fnv1a(compilerTypeSpelling<T>());
    }
}

template <class T> struct BindingTypeIdStorage {
    static constexpr std::uint32_t hash = nativeTypeHash<T>();
    static_assert(hash != kReservedBindingTypeHash, "a native type may not take the reserved identity");
    static constexpr std::array<char, 10> numberName = bindingTypeNumberName(hash);

    static constexpr const char* name() noexcept {
        if constexpr (requires { BindingTypeIdentity<T>::name; }) {
            return BindingTypeIdentity<T>::name;
        } else {
            return numberName.data();
        }
    }

    static constexpr BindingTypeId id{hash, name()};
};

} // namespace detail

// The one identity object of the native type T (cv-qualifiers ignored).
template <class T> constexpr const BindingTypeId& bindingTypeIdOf() noexcept {
    return detail::BindingTypeIdStorage<std::remove_cv_t<T>>::id;
}

} // namespace kiv
