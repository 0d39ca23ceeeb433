// Fills in a freshly registered type. A builder for a name that was already registered is
// inert: it refers to the existing descriptor and every operation leaves it unchanged.
#pragma once

#include "binding/binding_type_descriptor.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kiv {

class BindingTypeBuilder {
  public:
    BindingTypeBuilder(BindingTypeDescriptor& descriptor, bool alreadyRegistered) noexcept
        : descriptor_(&descriptor), alreadyRegistered_(alreadyRegistered) {}

    bool alreadyRegistered() const noexcept { return alreadyRegistered_; }
    const BindingTypeDescriptor& descriptor() const noexcept { return *descriptor_; }

    // Inserts the enumerator, or overwrites the one of that name.
    BindingTypeBuilder& addEnumerator(std::string_view name, std::int32_t value,
                                      std::string_view description);
    // Appends the field; its name hash is computed here.
    BindingTypeBuilder& addField(BindingField field);
    BindingTypeBuilder& setDescription(std::string_view description);
    BindingTypeBuilder& setNamespace(std::string_view nameSpace);
    // Appends each non-empty text, in order.
    BindingTypeBuilder& addTags(std::string_view first, std::string_view second = {},
                                std::string_view third = {}, std::string_view fourth = {});
    BindingTypeBuilder& addTagList(std::span<const std::string> tags);

  private:
    BindingTypeDescriptor* descriptor_;
    bool alreadyRegistered_;
};

} // namespace kiv
