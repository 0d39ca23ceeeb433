// The out-of-line part of a Structure: members keyed by pooled strings of the tree, ordered
// by plain byte-wise comparison of their texts (unsigned bytes, shorter prefix first).
// Lookups take the text itself, without pooling it.
#pragma once

#include "value/block_allocator.h"
#include "value/pooled_string.h"

#include <map>
#include <string_view>

namespace kiv {

class Value;

struct KeyOrder {
    using is_transparent = void;

    static std::string_view text(const PooledString* key) noexcept { return key->view(); }
    static std::string_view text(std::string_view key) noexcept { return key; }

    // std::string_view compares with char_traits<char>, whose compare is memcmp-like on
    // unsigned bytes; a shorter prefix sorts first.
    template <class A, class B> bool operator()(const A& a, const B& b) const noexcept {
        return text(a).compare(text(b)) < 0;
    }
};

using StructureMap =
    std::map<PooledString*, Value, KeyOrder, BlockAllocator<std::pair<PooledString* const, Value>>>;

} // namespace kiv
