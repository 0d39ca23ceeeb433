// Byte-wise comparison of short texts. Member names are a few bytes long, and comparing them as one
// or two overlapping words costs less than a call to memcmp; longer texts still take it. Where the
// first words agree, the overlapping last words differ first at a byte past them, so the order is
// the byte-wise order.
#pragma once

#include "value/big_endian.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kiv {

namespace byte_compare_detail {

template <class Word> int compareWords(Word a, Word b) noexcept {
    return a == b ? 0 : (a < b ? -1 : 1);
}

template <class Word> int compareEnds(const char* a, const char* b, std::size_t length) noexcept {
    const int first = compareWords(loadBigEndian<Word>(a), loadBigEndian<Word>(b));
    if (first != 0) {
        return first;
    }
    const std::size_t last = length - sizeof(Word);
    return compareWords(loadBigEndian<Word>(a + last), loadBigEndian<Word>(b + last));
}

} // namespace byte_compare_detail

// <0, 0 or >0 as the `length` bytes at `a` sort before, with or after those at `b`.
inline int compareBytes(const char* a, const char* b, std::size_t length) noexcept {
    using namespace byte_compare_detail;
    if (length >= 8) {
        return length <= 16 ? compareEnds<std::uint64_t>(a, b, length) : std::memcmp(a, b, length);
    }
    if (length >= 4) {
        return compareEnds<std::uint32_t>(a, b, length);
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (a[i] != b[i]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
        }
    }
    return 0;
}

} // namespace kiv
