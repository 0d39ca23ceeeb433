// One tree type for every payload, so that the readers, the binding layer and the host boundary
// share one representation and no layer converts between private ones.
//
// Nodes are small and keep their out-of-line parts in pools of their own tree: a decoded document
// costs few heap allocations and goes in one piece with its root. Reads never fail, a missing
// child being the shared Empty value, so configuration code chains lookups
// (`packet["user"]["age"].getSigned(0)`) without checking each step. Whole trees are walked with
// explicit stacks, never recursion: a document nested a million levels deep is copied and
// destroyed like a flat one.
#pragma once

#include "value/collection_storage.h"
#include "value/value_limits.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <span>
#include <string_view>
#include <vector>

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

class Value {
  public:
    class MemberIterator;
    class MemberRange;

    // A root value: Empty, owning the context that its first storage-needing write creates.
    Value() noexcept = default;
    ~Value();

    // A child node of the tree whose context is given; used by the containers of a tree.
    struct ChildOf {
        ValueContext* context;
    };
    explicit Value(ChildOf child) noexcept : context_(child.context), ownsContext_(0) {}

    // Copies are deep and land in the destination's own context. Copying a node of a tree
    // into another node of the same tree (even an ancestor) is safe.
    Value(const Value& other);
    Value& operator=(const Value& other);

    // Moving between two roots exchanges their contents and clears the source; any other
    // move deep-copies into the destination and then clears the source.
    Value(Value&& other) noexcept;
    Value& operator=(Value&& other);

    ValueKind kind() const noexcept { return kind_; }
    bool isEmpty() const noexcept { return kind_ == ValueKind::Empty; }
    bool isCollection() const noexcept { return kind_ == ValueKind::Collection; }
    bool isStructure() const noexcept { return kind_ == ValueKind::Structure; }

    // 0 for Empty, the byte length of a String or Blob, the element count of a Collection,
    // the member count of a Structure, 1 for every other kind.
    std::size_t size() const noexcept;

    // Kind changes: each releases what the value held first.
    // Scalars are set inline: readers set millions of them, mostly on fresh Empty nodes.
    void setEmpty() noexcept { setScalar(ValueKind::Empty, Payload{.unsignedValue = 0}); }
    void setBool(bool value) noexcept { setScalar(ValueKind::Bool, Payload{.boolean = value}); }
    void setSigned(std::int64_t value) noexcept {
        setScalar(ValueKind::Signed, Payload{.signedValue = value});
    }
    void setUnsigned(std::uint64_t value) noexcept {
        setScalar(ValueKind::Unsigned, Payload{.unsignedValue = value});
    }
    void setFloat(double value) noexcept { setScalar(ValueKind::Float, Payload{.floatValue = value}); }
    void setString(std::string_view text);
    void setBlob(std::vector<std::uint8_t>&& bytes); // takes the bytes over; `bytes` is left empty
    void setBlob(std::span<const std::uint8_t> bytes);
    void setEnum(EnumValue value);
    // Becomes an empty Collection (Structure) unless it already is one.
    void makeCollection();
    void makeStructure();
    // Collections only: grows the capacity to at least n elements. More than
    // kMaxCollectionSize throws ValueTooLarge.
    void reserve(std::size_t n);

    // Typed getters: the payload when the kind matches exactly, else the default.
    bool getBool(bool fallback) const noexcept;
    std::int64_t getSigned(std::int64_t fallback) const noexcept;
    std::uint64_t getUnsigned(std::uint64_t fallback) const noexcept;
    double getFloat(double fallback) const noexcept;
    std::string_view getString(std::string_view fallback) const noexcept;
    std::span<const std::uint8_t> getBlob(std::span<const std::uint8_t> fallback) const noexcept;
    EnumValue getEnum(EnumValue fallback) const noexcept;
    // The String's text, NUL-terminated (embedded NULs are kept inside size()); "" for
    // every other kind.
    const char* c_str() const noexcept;

    // Reads: the child when present, else the shared Empty value.
    const Value& operator[](std::size_t index) const noexcept;
    const Value& operator[](std::string_view key) const noexcept;
    // The member under key, or null.
    const Value* find(std::string_view key) const noexcept;
    Value* find(std::string_view key) noexcept;

    // Writes: turn the value into a Collection (Structure) if it is not one, create the
    // child if missing (Empty children fill the gap up to index), and return it.
    // A reference to a Structure member stays valid until the member goes; a reference to a
    // Collection element until the next element is added to that Collection (elements may
    // move then, never their own subtrees).
    Value& element(std::size_t index) {
        if (kind_ == ValueKind::Collection) {
            CollectionStorage& storage = *static_cast<CollectionStorage*>(payload_.block);
            if (index < storage.size) {
                return storage.data[index];
            }
        }
        return growToElement(index);
    }
    Value& append() { // element(size()) on a Collection
        if (kind_ == ValueKind::Collection) {
            CollectionStorage& storage = *static_cast<CollectionStorage*>(payload_.block);
            if (storage.size < storage.capacity) {
                return *new (storage.data + storage.size++) Value(ChildOf{context_});
            }
            return growToElement(storage.size);
        }
        return growToElement(0);
    }
    Value& member(std::string_view key);

    // Iteration: elements in index order, members in ascending byte-wise key order.
    std::span<const Value> elements() const noexcept;
    std::span<Value> elements() noexcept;
    MemberRange members() const noexcept;

    // Lenient readings for configuration data.
    // Bool: its value; Signed/Unsigned: non-zero; Float: not 0.0 (NaN is true); String:
    // exactly "true" or "1"; Blob/Collection/Structure: non-empty; Enum: non-zero value.
    bool asTruth() const noexcept;
    // Bool 0/1; Signed/Unsigned their bits; Float truncated toward zero; String parsed as a
    // signed integer with automatic base up to the first character that does not fit; Enum
    // its value; anything else the fallback.
    std::int64_t asInteger(std::int64_t fallback) const noexcept;

    // The tree's context (null until a storage-needing write) and whether this node owns it.
    ValueContext* context() const noexcept { return context_; }
    bool ownsContext() const noexcept { return ownsContext_ != 0; }

    static const Value& emptyValue() noexcept;

  private:
    friend class ValueTreeOps;

    ValueContext& ensureContext();
    void releasePayload() noexcept;
    Value& growToElement(std::size_t index);
    void exchangeRoots(Value& other) noexcept;
    void copyFrom(const Value& other, Value* movedSource);
    template <class Part, class... Args> void installPart(ValueKind kind, Args&&... args);
    // Replaces the payload with that of `source`, a node of the same context, and leaves
    // `source` Empty.
    void adoptPayload(Value& source) noexcept;

    union Payload {
        bool boolean;
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue;
        PooledString* string;
        void* block; // Blob, Enum, Collection and Structure: their out-of-line part
    };

    // Scalars hold no storage, so only a String and the kinds after it need releasing.
    void setScalar(ValueKind kind, Payload payload) noexcept {
        if (kind_ >= ValueKind::String) {
            releasePayload();
        }
        payload_ = payload;
        kind_ = kind;
    }

    Payload payload_{.unsignedValue = 0};
    ValueContext* context_ = nullptr;
    ValueKind kind_ = ValueKind::Empty;
    std::uint8_t ownsContext_ = 1;
};

} // namespace kiv

#include "value/value_members.h"
