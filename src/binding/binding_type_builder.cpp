#include "binding/binding_type_builder.h"

#include "binding/binding_tags.h"
#include "value/fnv1a.h"

#include <array>
#include <utility>

namespace kiv {

BindingTypeBuilder& BindingTypeBuilder::addEnumerator(std::string_view name, std::int32_t value,
                                                      std::string_view description) {
    if (!alreadyRegistered_) {
        BindingEnumerator& enumerator = descriptor_->enumerators[std::string(name)];
        enumerator.value = value;
        enumerator.name = name;
        enumerator.description = description;
        enumerator.owner = descriptor_;
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addField(BindingField field) {
    if (!alreadyRegistered_) {
        field.nameHash = fnv1a(field.name);
        descriptor_->fields.push_back(std::move(field));
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::setDescription(std::string_view description) {
    if (!alreadyRegistered_) {
        descriptor_->description = description;
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::setNamespace(std::string_view nameSpace) {
    if (!alreadyRegistered_) {
        descriptor_->nameSpace = nameSpace;
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addTags(std::string_view first, std::string_view second,
                                                std::string_view third, std::string_view fourth) {
    if (!alreadyRegistered_) {
        const std::array<std::string_view, 4> tags = {first, second, third, fourth};
        appendTags(descriptor_->tags, tags);
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addTagList(std::span<const std::string> tags) {
    if (!alreadyRegistered_) {
        appendTags(descriptor_->tags, tags);
    }
    return *this;
}

} // namespace kiv
