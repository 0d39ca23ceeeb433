#include "binding/binding_type_ref.h"

#include "binding/binding_type_descriptor.h"

namespace kiv {

std::string_view bindingTypeName(BindingTypeKind kind, const BindingTypeDescriptor* descriptor) noexcept {
    const bool named = kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct;
    if (named && descriptor != nullptr) {
        return descriptor->name;
    }
    return bindingTypeKindName(kind);
}

} // namespace kiv
