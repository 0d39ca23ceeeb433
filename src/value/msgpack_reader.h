// Reads MessagePack bytes into a value tree. The system only reads MessagePack: values leave
// the plugin as flat records through the host interface, never as MessagePack.
#pragma once

#include "value/conversion_result.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kiv {

struct [[nodiscard]] MsgpackDecoding {
    ConversionResult result;
    // Bytes of the input taken by the top-level value; bytes after it are not read.
    std::size_t consumed = 0;
};

// Decodes one top-level value. Nesting is limited by memory only: the decoder keeps its own
// stack of open containers instead of recursing. Any malformed or truncated item fails with
// the position it was read at, input that ends inside a container with the position where
// it ended, and the partly built tree is dropped.
[[nodiscard]] MsgpackDecoding decodeMsgpack(std::span<const std::uint8_t> bytes);

// True when the input starts with a map or array header (0x80-0x9F, 0xDC-0xDF); scalars at
// top level are not recognised.
[[nodiscard]] bool looksLikeMsgpack(std::span<const std::uint8_t> bytes) noexcept;

} // namespace kiv
