#include "binding/binding_type_descriptor.h"

namespace kiv {

const BindingEnumerator*
BindingTypeDescriptor::enumeratorNamed(std::string_view enumeratorName) const noexcept {
    const auto it = enumerators.find(enumeratorName);
    return it != enumerators.end() ? &it->second : nullptr;
}

const BindingEnumerator* BindingTypeDescriptor::enumeratorWithValue(std::int64_t value) const noexcept {
    for (const auto& [key, enumerator] : enumerators) {
        if (enumerator.value == value) {
            return &enumerator;
        }
    }
    return nullptr;
}

std::string_view bindingTypeName(BindingTypeKind kind, const BindingTypeDescriptor* descriptor) noexcept {
    const bool named = kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct;
    if (named && descriptor != nullptr) {
        return descriptor->name;
    }
    return bindingTypeKindName(kind);
}

} // namespace kiv
