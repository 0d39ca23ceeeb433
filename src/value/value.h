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

#include "value/member_table.h"
#include "value/value_limits.h"
#include "value/value_node.h"
#include "value/value_tree_ops.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <span>
#include <string_view>
#include <vector>

namespace kiv {

// The API over a tree node. Value adds no data to ValueNode, so a child node that the storage
// layer made is used as a Value in place: one node type, two views.
class Value : public ValueNode {
  public:
    class MemberIterator;
    class MemberRange;

    // A root value: Empty, owning the context that its first storage-needing write creates.
    Value() noexcept = default;
    ~Value();

    explicit Value(ChildOf child) noexcept : ValueNode(child) {}

    // Copies are deep and land in the destination's own context. Copying a node of a tree
    // into another node of the same tree (even an ancestor) is safe.
    Value(const Value& other);
    Value& operator=(const Value& other);

    // Moving between two roots exchanges their contents and clears the source; any other
    // move deep-copies into the destination and then clears the source.
    Value(Value&& other) noexcept;
    Value& operator=(Value&& other);

    // The node as a Value; every node of a tree is one.
    static Value& of(ValueNode& node) noexcept { return static_cast<Value&>(node); }
    static const Value& of(const ValueNode& node) noexcept { return static_cast<const Value&>(node); }

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
    void setString(std::string_view text) { ValueTreeOps::setString(*this, text); }
    // Takes the bytes over; `bytes` is left empty.
    void setBlob(std::vector<std::uint8_t>&& bytes) { ValueTreeOps::setBlob(*this, std::move(bytes)); }
    void setBlob(std::span<const std::uint8_t> bytes) { ValueTreeOps::setBlob(*this, bytes); }
    void setEnum(EnumValue value) { ValueTreeOps::setEnum(*this, value); }
    // Becomes an empty Collection (Structure) unless it already is one.
    void makeCollection() { ValueTreeOps::makeCollection(*this); }
    void makeStructure() { ValueTreeOps::makeStructure(*this); }
    // Collections only: grows the capacity to at least n elements. More than
    // kMaxCollectionSize throws ValueTooLarge.
    void reserve(std::size_t n) {
        if (kind_ == ValueKind::Collection && n > static_cast<CollectionStorage*>(payload_.block)->capacity) {
            ValueTreeOps::growCollection(*this, n);
        }
    }
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
                return of(storage.data[index]);
            }
        }
        return growToElement(index);
    }
    Value& append() { // element(size()) on a Collection
        if (kind_ == ValueKind::Collection) {
            CollectionStorage& storage = *static_cast<CollectionStorage*>(payload_.block);
            if (storage.size < storage.capacity) {
                return of(*new (storage.data + storage.size++) ValueNode(ChildOf{context_}));
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

    static const Value& emptyValue() noexcept;

  private:
    Value& growToElement(std::size_t index);
    void exchangeRoots(Value& other) noexcept;
    void copyFrom(const Value& other, Value* movedSource);

    // Scalars hold no storage, so only a String and the kinds after it need releasing.
    void setScalar(ValueKind kind, Payload payload) noexcept {
        if (kind_ >= ValueKind::String) {
            ValueTreeOps::release(*this);
        }
        payload_ = payload;
        kind_ = kind;
    }
};

static_assert(sizeof(Value) == sizeof(ValueNode), "Value is a view of a node and adds no data");

struct ValueMember {
    std::string_view key;
    const Value& value;
};

// Iteration over a Structure's members in key order.
class Value::MemberIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ValueMember;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = ValueMember;

    MemberIterator() = default;
    MemberIterator(const MemberEntry* flat, MemberTree::const_iterator tree) noexcept
        : flat_(flat), tree_(tree) {}

    ValueMember operator*() const noexcept {
        return flat_ ? ValueMember{flat_->key->view(), of(*flat_->value)}
                     : ValueMember{tree_->first->view(), of(*tree_->second)};
    }
    MemberIterator& operator++() noexcept {
        if (flat_) {
            ++flat_;
        } else {
            ++tree_;
        }
        return *this;
    }
    MemberIterator operator++(int) noexcept {
        MemberIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const MemberIterator& a, const MemberIterator& b) noexcept {
        return a.flat_ == b.flat_ && a.tree_ == b.tree_;
    }

  private:
    const MemberEntry* flat_ = nullptr; // the position in a flat table, else null
    MemberTree::const_iterator tree_{}; // the position in a tree table
};

class Value::MemberRange {
  public:
    MemberRange() = default;
    explicit MemberRange(const MemberTable* table) noexcept : table_(table) {}

    MemberIterator begin() const noexcept {
        if (!table_) {
            return {};
        }
        return table_->tree() ? MemberIterator(nullptr, table_->tree()->begin())
                              : MemberIterator(table_->flatBegin(), {});
    }
    MemberIterator end() const noexcept {
        if (!table_) {
            return {};
        }
        return table_->tree() ? MemberIterator(nullptr, table_->tree()->end())
                              : MemberIterator(table_->flatEnd(), {});
    }
    std::size_t size() const noexcept { return table_ ? table_->size() : 0; }
    bool empty() const noexcept { return size() == 0; }

  private:
    const MemberTable* table_ = nullptr;
};

} // namespace kiv
