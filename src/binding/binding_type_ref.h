// How a field, argument, return value or event payload names its type.
#pragma once

#include "binding/binding_type_kind.h"

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

} // namespace kiv
