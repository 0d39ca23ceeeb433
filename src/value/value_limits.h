// The sizes a value tree refuses to exceed. Each limit is a length error of its own, with a text
// that names it, so that a conversion entry can tell its caller which limit the input broke.
#pragma once

#include <cstddef>
#include <stdexcept>

namespace kiv {

// Collections hold at most this many elements: an element index and a count fit 28 bits.
inline constexpr std::size_t kMaxCollectionSize = 0x0FFFFFFF;
// Strings and keys hold at most this many bytes: a length fits the 32-bit length words of the
// pooled records and of the flat records, with room for the record around it.
inline constexpr std::size_t kMaxTextSize = 0x7FFFFFFF;

// The length error of a value operation; what() is the message for the caller.
class ValueTooLarge : public std::length_error {
  public:
    using std::length_error::length_error;
};

[[noreturn]] void throwCollectionTooLarge();
[[noreturn]] void throwTextTooLarge();

} // namespace kiv
