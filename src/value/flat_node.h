// One node of an outgoing record set as the flat record writer reads it: its kind, its payload
// and, for a container, how many records its array holds. A tree node gives one, and so does a
// native object; the writer never asks which.
#pragma once

#include "value/value.h"
#include "value/value_tree_ops.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace kiv {

// Kept to four words, as the writer makes one per node in each of its walks.
class FlatNode {
  public:
    FlatNode() noexcept = default;

    static FlatNode scalar(ValueKind kind, std::uint64_t bits) noexcept { return {kind, bits, nullptr, 0}; }
    static FlatNode ofFloat(double value) noexcept {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof value);
        return scalar(ValueKind::Float, bits);
    }
    static FlatNode ofText(std::string_view text) noexcept {
        return {ValueKind::String, 0, text.data(), text.size()};
    }
    static FlatNode ofBytes(std::span<const std::uint8_t> bytes) noexcept {
        return {ValueKind::Blob, 0, bytes.data(), bytes.size()};
    }
    static FlatNode ofEnum(EnumValue value) noexcept {
        return {ValueKind::Enum, static_cast<std::uint64_t>(std::int64_t{value.value}), value.type, 0};
    }
    // A Collection or Structure of `count` records.
    static FlatNode container(ValueKind kind, std::size_t count) noexcept {
        return {kind, 0, nullptr, count};
    }

    ValueKind kind() const noexcept { return kind_; }
    // Bool (0 or 1), Signed, Unsigned, and a Float's bit pattern.
    std::uint64_t bits() const noexcept { return bits_; }
    double floatValue() const noexcept {
        double value;
        std::memcpy(&value, &bits_, sizeof value);
        return value;
    }
    std::string_view text() const noexcept { return {static_cast<const char*>(data_), size_}; }
    std::span<const std::uint8_t> bytes() const noexcept {
        return {static_cast<const std::uint8_t*>(data_), size_};
    }
    EnumValue enumValue() const noexcept {
        return {static_cast<std::int32_t>(bits_), static_cast<const BindingTypeId*>(data_)};
    }
    // Elements of a Collection, members of a Structure.
    std::size_t count() const noexcept { return size_; }

  private:
    FlatNode(ValueKind kind, std::uint64_t bits, const void* data, std::size_t size) noexcept
        : kind_(kind), bits_(bits), data_(data), size_(size) {}

    ValueKind kind_ = ValueKind::Empty;
    std::uint64_t bits_ = 0;
    const void* data_ = nullptr; // a text, blob bytes or an enum's type
    std::size_t size_ = 0;       // of the text or bytes, or the count of records
};

// What a member that is left out when empty leaves out: nothing, false, zero, or no content.
inline bool isOmittable(const FlatNode& node) noexcept {
    switch (node.kind()) {
    case ValueKind::Empty:
        return true;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
        return node.bits() == 0;
    case ValueKind::Float:
        return node.floatValue() == 0.0;
    case ValueKind::Enum:
        return node.enumValue().value == 0;
    case ValueKind::String:
        return node.text().empty();
    case ValueKind::Blob:
        return node.bytes().empty();
    default:
        return node.count() == 0;
    }
}

// A tree node as the writer reads it.
FlatNode flatNodeOf(const Value& value) noexcept;

// Calls visit(nameIdentity, name, child) for each child of a Collection or Structure, in record
// order (members in key order); elements have no name. A member's name is identified by its
// pooled record, which every member of the tree under that name shares.
template <class Visit> void forEachFlatChild(const Value& value, Visit&& visit) {
    if (value.kind() == ValueKind::Collection) {
        for (const Value& element : value.elements()) {
            visit(nullptr, std::string_view(), element);
        }
    } else if (value.kind() == ValueKind::Structure) {
        ValueTreeOps::structure(value).forEach([&](const PooledString* key, const ValueNode& node) {
            visit(static_cast<const void*>(key), key->view(), Value::of(node));
        });
    }
}

} // namespace kiv
