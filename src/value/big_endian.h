// An unsigned integer read from bytes in big-endian order, the order of MessagePack's numbers and
// of byte-wise text comparison.
#pragma once

#include <bit>
#include <cstring>

namespace kiv {

template <class T> T loadBigEndian(const void* bytes) noexcept {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    if constexpr (sizeof(T) > 1 && std::endian::native == std::endian::little) {
        if constexpr (sizeof(T) == 2) {
            value = __builtin_bswap16(value);
        } else if constexpr (sizeof(T) == 4) {
            value = __builtin_bswap32(value);
        } else {
            value = __builtin_bswap64(value);
        }
    }
    return value;
}

} // namespace kiv
