// Fills in a freshly registered type. A builder for a name that was already registered is
// inert: it refers to the existing descriptor and every operation leaves it unchanged.
#pragma once

#include "binding/binding_described_builder.h"
#include "binding/binding_type_descriptor.h"

#include <cstdint>
#include <string_view>

namespace kiv {

class BindingTypeBuilder : public BindingDescribedBuilder<BindingTypeBuilder, BindingTypeDescriptor> {
  public:
    BindingTypeBuilder(BindingTypeDescriptor& descriptor, bool alreadyRegistered) noexcept
        : BindingDescribedBuilder(descriptor, alreadyRegistered) {}

    const BindingTypeDescriptor& descriptor() const noexcept { return *target_; }

    // Inserts the enumerator, or overwrites the one of that name.
    BindingTypeBuilder& addEnumerator(std::string_view name, std::int32_t value,
                                      std::string_view description);
    // Appends the field; its name hash is computed here.
    BindingTypeBuilder& addField(BindingField field);
};

} // namespace kiv
