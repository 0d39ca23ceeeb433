// The storage layer of value trees: a node's kind, its payload and a Collection's child array.
// Everything else in this folder builds on it: the member table keeps nodes, the tree operations
// give them storage and take it back, and Value (value.h, the top of the folder) is the API
// that callers see over a node. A node is plain data here; only the tree operations change it.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

struct BindingTypeId; // identity of a native enum type; owned by the binding layer
class ValueContext;
struct PooledString;

enum class ValueKind : std::uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};

// The kind's name as used in messages ("empty", "bool", ...); "" for an unknown code.
std::string_view valueKindName(ValueKind kind) noexcept;

struct EnumValue {
    std::int32_t value = 0;
    const BindingTypeId* type = nullptr;

    friend bool operator==(const EnumValue&, const EnumValue&) = default;
};

class ValueNode;

// The out-of-line part of a Collection: a growable array of child nodes. Children are
// relocated bit for bit when the array grows (a child holds nothing that points into itself),
// so growth never copies subtrees.
struct CollectionStorage {
    ValueNode* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t capacity = 0;
};

class ValueNode {
  public:
    // A child node of the tree whose context is given; used by the containers of a tree.
    struct ChildOf {
        ValueContext* context;
    };

    ValueKind kind() const noexcept { return kind_; }
    // The tree's context (null until a storage-needing write) and whether this node owns it.
    ValueContext* context() const noexcept { return context_; }
    bool ownsContext() const noexcept { return ownsContext_ != 0; }

    explicit ValueNode(ChildOf child) noexcept : context_(child.context), ownsContext_(0) {}

  protected:
    // A root node: Empty, owning the context that its first storage-needing write creates.
    ValueNode() noexcept = default;
    ValueNode(const ValueNode&) = delete;
    ValueNode& operator=(const ValueNode&) = delete;
    ~ValueNode() = default;

    union Payload {
        bool boolean;
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue;
        PooledString* string;
        void* block; // Blob, Enum, Collection and Structure: their out-of-line part
    };

    Payload payload_{.unsignedValue = 0};
    ValueContext* context_ = nullptr;
    ValueKind kind_ = ValueKind::Empty;
    std::uint8_t ownsContext_ = 1;

  private:
    friend class ValueTreeOps;
};

} // namespace kiv
