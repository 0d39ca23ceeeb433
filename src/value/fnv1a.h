// 32-bit FNV-1a: the hash of pooled strings, field names, anchor names and handler tables.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

inline constexpr std::uint32_t kFnv1aOffsetBasis = 0x811C9DC5u;
inline constexpr std::uint32_t kFnv1aPrime = 16777619u;

constexpr std::uint32_t fnv1a(std::string_view text) noexcept {
    std::uint32_t hash = kFnv1aOffsetBasis;
    for (char c : text) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= kFnv1aPrime;
    }
    return hash;
}

} // namespace kiv
