// Internal operations on the storage of value trees, shared by Value and the conversions
// that build trees. Whole-tree walks here use explicit stacks, never recursion, so that a
// tree nested a million levels deep is destroyed and copied without exhausting the stack.
#pragma once

#include "platform/invariant.h"
#include "value/collection_storage.h"
#include "value/value.h"
#include "value/value_context.h"

#include <span>
#include <vector>

namespace kiv {

class ValueTreeOps {
  public:
    // The out-of-line part of a value of the matching kind.
    static const PooledString& string(const Value& value) noexcept {
        KIV_ASSERT(value.kind_ == ValueKind::String, "only a String holds a pooled text");
        return *value.payload_.string;
    }
    static CollectionStorage& collection(const Value& value) noexcept {
        KIV_ASSERT(value.kind_ == ValueKind::Collection, "only a Collection holds collection storage");
        return *static_cast<CollectionStorage*>(value.payload_.block);
    }
    static MemberTable& structure(const Value& value) noexcept {
        KIV_ASSERT(value.kind_ == ValueKind::Structure, "only a Structure holds a member table");
        return *static_cast<MemberTable*>(value.payload_.block);
    }
    static std::vector<std::uint8_t>& blob(const Value& value) noexcept {
        KIV_ASSERT(value.kind_ == ValueKind::Blob, "only a Blob holds a byte vector");
        return *static_cast<std::vector<std::uint8_t>*>(value.payload_.block);
    }
    static EnumValue& enumRecord(const Value& value) noexcept {
        KIV_ASSERT(value.kind_ == ValueKind::Enum, "only an Enum holds an enum record");
        return *static_cast<EnumValue*>(value.payload_.block);
    }

    // Grows a Collection's storage to hold at least `capacity` children.
    static void growCollection(Value& value, std::size_t capacity);
    // Appends an Empty child to a Collection whose capacity allows it.
    static Value& appendReserved(Value& value) noexcept;

    // Destroys a Collection's or Structure's payload and every node below it. Allocates
    // nothing, so that it holds when memory has run out.
    static void destroyContainer(Value& value) noexcept;
    // Frees the blob bytes of a root's tree before its context goes; everything else is left
    // to the context, which drops its pages and large blocks whole. Allocates nothing.
    static void teardown(Value& root) noexcept;
    // The nodes from `root` down to `node` (both included) when `node` lies strictly inside
    // `root`'s subtree, else nothing.
    [[nodiscard]] static std::vector<Value*> pathTo(Value& root, const Value& node);
    // Clears `path.front()` except the nodes of `path`: each keeps only its child on the path,
    // and the last node is left as it is. An empty path changes nothing.
    static void clearBesidePath(std::span<Value* const> path) noexcept;

    // Deep-copies `source` into `target`, an Empty node of the destination's tree (its
    // context may still be null when `target` is a root).
    static void copyTree(const Value& source, Value& target);

  private:
    // The out-of-line part of a Collection or Structure, apart from the node that held it.
    struct Container {
        ValueKind kind;
        void* block;
    };
    class WaitingContainers;

    static bool hasChildren(Container container) noexcept;
    static void freeStorage(Container container, ValueContext& context) noexcept;
};

} // namespace kiv
