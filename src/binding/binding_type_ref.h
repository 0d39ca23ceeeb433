// How a field, argument, return value or event payload names its type.
#pragma once

#include "binding/binding_type_kind.h"

#include <string_view>

namespace kiv {

struct BindingTypeDescriptor;

struct BindingTypeRef {
    BindingTypeKind kind = BindingTypeKind::None;
    // Vectors and maps only: the kind of their elements. An element never has elements of
    // its own: a vector's element is {elementKind, descriptor}.
    BindingTypeKind elementKind = BindingTypeKind::None;
    // Enums and structures, or the enum or structure element of a vector or map.
    const BindingTypeDescriptor* descriptor = nullptr;

    [[nodiscard]] bool hasElement() const noexcept {
        return kind == BindingTypeKind::Vector || kind == BindingTypeKind::Map;
    }
};

// The type as messages and help show it: the registered name of an enum or structure
// descriptor when one is attached, else the kind's name ("int32", "vector", "enum").
[[nodiscard]] std::string_view bindingTypeName(BindingTypeKind kind,
                                               const BindingTypeDescriptor* descriptor) noexcept;

} // namespace kiv
