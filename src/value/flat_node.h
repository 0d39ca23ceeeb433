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

struct FlatNode {
    ValueKind kind = ValueKind::Empty;
    std::uint64_t bits = 0;              // Bool (0 or 1), Signed, Unsigned, and a Float's bit pattern
    std::string_view text;               // String
    std::span<const std::uint8_t> bytes; // Blob
    EnumValue enumValue;                 // Enum
    std::size_t count = 0;               // elements of a Collection, members of a Structure

    static FlatNode scalar(ValueKind kind, std::uint64_t bits) noexcept {
        FlatNode node;
        node.kind = kind;
        node.bits = bits;
        return node;
    }
    static FlatNode ofFloat(double value) noexcept {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof value);
        return scalar(ValueKind::Float, bits);
    }
    static FlatNode ofText(std::string_view text) noexcept {
        FlatNode node;
        node.kind = ValueKind::String;
        node.text = text;
        return node;
    }
    static FlatNode ofBytes(std::span<const std::uint8_t> bytes) noexcept {
        FlatNode node;
        node.kind = ValueKind::Blob;
        node.bytes = bytes;
        return node;
    }
    static FlatNode ofEnum(EnumValue value) noexcept {
        FlatNode node;
        node.kind = ValueKind::Enum;
        node.enumValue = value;
        return node;
    }
    // A Collection or Structure of `count` records.
    static FlatNode container(ValueKind kind, std::size_t count) noexcept {
        FlatNode node;
        node.kind = kind;
        node.count = count;
        return node;
    }
    double floatValue() const noexcept {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

// What a member that is left out when empty leaves out: nothing, false, zero, or no content.
inline bool isOmittable(const FlatNode& node) noexcept {
    switch (node.kind) {
    case ValueKind::Empty:
        return true;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
        return node.bits == 0;
    case ValueKind::Float:
        return node.floatValue() == 0.0;
    case ValueKind::Enum:
        return node.enumValue.value == 0;
    case ValueKind::String:
        return node.text.empty();
    case ValueKind::Blob:
        return node.bytes.empty();
    default:
        return node.count == 0;
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
