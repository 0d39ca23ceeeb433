// The out-of-line part of a Collection: a growable array of child nodes. Children are
// relocated bit for bit when the array grows (a child holds nothing that points into itself),
// so growth never copies subtrees.
#pragma once

#include <cstdint>

namespace kiv {

class Value;

struct CollectionStorage {
    Value* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t capacity = 0;
};

} // namespace kiv
