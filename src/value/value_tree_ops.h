// The operations that give tree nodes their storage and take it back, shared by Value and the
// conversions that build trees. Whole-tree walks here use explicit stacks, never recursion, so
// that a tree nested a million levels deep is destroyed and copied without exhausting the stack.
#pragma once

#include "platform/invariant.h"
#include "value/member_table.h"
#include "value/value_context.h"
#include "value/value_limits.h"
#include "value/value_node.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <string_view>
#include <vector>

namespace kiv {

class ValueTreeOps {
  public:
    // The out-of-line part of a node of the matching kind.
    static const PooledString& string(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ == ValueKind::String, "only a String holds a pooled text");
        return *node.payload_.string;
    }
    static CollectionStorage& collection(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ == ValueKind::Collection, "only a Collection holds collection storage");
        return *static_cast<CollectionStorage*>(node.payload_.block);
    }
    static MemberTable& structure(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ == ValueKind::Structure, "only a Structure holds a member table");
        return *static_cast<MemberTable*>(node.payload_.block);
    }
    static std::vector<std::uint8_t>& blob(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ == ValueKind::Blob, "only a Blob holds a byte vector");
        return *static_cast<std::vector<std::uint8_t>*>(node.payload_.block);
    }
    // A Bool, Signed, Unsigned or Float node's payload as a 64-bit word (a Bool's as 0 or 1).
    static std::uint64_t scalarBits(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ >= ValueKind::Bool && node.kind_ <= ValueKind::Float, "only a scalar has bits");
        if (node.kind_ == ValueKind::Bool) {
            return node.payload_.boolean ? 1 : 0;
        }
        std::uint64_t bits;
        std::memcpy(&bits, &node.payload_, sizeof bits);
        return bits;
    }
    static EnumValue& enumRecord(const ValueNode& node) noexcept {
        KIV_ASSERT(node.kind_ == ValueKind::Enum, "only an Enum holds an enum record");
        return *static_cast<EnumValue*>(node.payload_.block);
    }

    // The node's context, created for a root on its first storage-needing write.
    static ValueContext& ensureContext(ValueNode& node);

    // Kind changes that need storage. Each builds the new part before it releases the old one,
    // so that a node can be set from its own text or bytes.
    // A fresh node of a tree that has its storage is set inline: readers set most nodes that way.
    static void setString(ValueNode& node, std::string_view text) {
        if (node.kind_ == ValueKind::Empty && node.context_ && !text.empty() && text.size() <= kMaxTextSize) {
            node.payload_.string =
                PooledString::place(node.context_->allocate(PooledString::bytesFor(text.size())), text, 0);
            node.kind_ = ValueKind::String;
            return;
        }
        setStringOther(node, text);
    }
    static void setBlob(ValueNode& node, std::vector<std::uint8_t>&& bytes);
    static void setBlob(ValueNode& node, std::span<const std::uint8_t> bytes);
    static void setEnum(ValueNode& node, EnumValue value);
    // Become an empty Collection (Structure) unless the node already is one.
    static void makeCollection(ValueNode& node) {
        if (node.kind_ != ValueKind::Collection) {
            makeContainer<CollectionStorage>(node, ValueKind::Collection);
        }
    }
    static void makeStructure(ValueNode& node) {
        if (node.kind_ != ValueKind::Structure) {
            makeContainer<MemberTable>(node, ValueKind::Structure);
        }
    }

    // Releases what the node holds (a container with every node below it) and leaves it Empty.
    // Allocates nothing, so that it holds when memory has run out.
    static void release(ValueNode& node) noexcept;
    // Replaces the payload of `node` with that of `source`, a node of the same context, and
    // leaves `source` Empty.
    static void adoptPayload(ValueNode& node, ValueNode& source) noexcept;

    // Grows a Collection's storage to hold at least `capacity` children.
    static void growCollection(ValueNode& node, std::size_t capacity);
    // Appends an Empty child to a Collection whose capacity allows it.
    static ValueNode& appendReserved(ValueNode& node) noexcept;

    // Frees the blob bytes of a root's tree before its context goes; everything else is left
    // to the context, which drops its pages and large blocks whole. Allocates nothing.
    static void teardown(ValueNode& root) noexcept;
    // The nodes from `root` down to `node` (both included) when `node` lies strictly inside
    // `root`'s subtree, else nothing.
    [[nodiscard]] static std::vector<ValueNode*> pathTo(ValueNode& root, const ValueNode& node);
    // Clears `path.front()` except the nodes of `path`: each keeps only its child on the path,
    // and the last node is left as it is. An empty path changes nothing.
    static void clearBesidePath(std::span<ValueNode* const> path) noexcept;

    // Deep-copies `source` into `target`, an Empty node of the destination's tree (its
    // context may still be null when `target` is a root).
    static void copyTree(const ValueNode& source, ValueNode& target);

  private:
    // The out-of-line part of a Collection or Structure, apart from the node that held it.
    struct Container {
        ValueKind kind;
        void* block;
    };
    class WaitingContainers;

    static void setStringOther(ValueNode& node, std::string_view text);
    template <class Part> static void makeContainer(ValueNode& node, ValueKind kind) {
        if (node.kind_ == ValueKind::Empty && node.context_) {
            node.payload_.block = new (node.context_->allocate(sizeof(Part))) Part();
            node.kind_ = kind;
            return;
        }
        installContainer(node, kind);
    }
    static void installContainer(ValueNode& node, ValueKind kind);
    static void shareString(ValueNode& node, PooledString* record) noexcept;
    static void releaseString(ValueContext& context, PooledString* record) noexcept;
    template <class Part, class... Args>
    static void installPart(ValueNode& node, ValueKind kind, Args&&... args);
    static void destroyContainer(ValueNode& node) noexcept;
    static bool hasChildren(Container container) noexcept;
    static void freeStorage(Container container, ValueContext& context) noexcept;
};

} // namespace kiv
