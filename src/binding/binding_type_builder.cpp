#include "binding/binding_type_builder.h"

#include "platform/invariant.h"
#include "value/fnv1a.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kiv {

BindingTypeBuilder& BindingTypeBuilder::addEnumerator(std::string_view name, std::int32_t value,
                                                      std::string_view description) {
    if (!alreadyRegistered_) {
        KIV_ASSERT(target_->isEnum, "enumerators are added to an enum");
        BindingEnumerator& enumerator = target_->enumerators[std::string(name)];
        enumerator.value = value;
        enumerator.name = name;
        enumerator.description = description;
        enumerator.owner = target_;
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addField(BindingField field) {
    if (!alreadyRegistered_) {
        // The export and help tell structures from enums by whether they have fields.
        KIV_ASSERT(!target_->isEnum, "fields are added to a structure");
        field.nameHash = fnv1a(field.name);
        // Kept in name order as fields arrive, after any of the same name.
        std::vector<BindingFieldByName>& order = target_->fieldsByName;
        const std::vector<BindingField>& fields = target_->fields;
        const auto position = std::upper_bound(order.begin(), order.end(), field.name,
                                               [&](const std::string& name, const BindingFieldByName& entry) {
                                                   return name < fields[entry.index].name;
                                               });
        const auto inserted = order.insert(position, {static_cast<std::uint32_t>(fields.size()), true});
        const bool sharedName =
            inserted != order.begin() && fields[std::prev(inserted)->index].name == field.name;
        if (sharedName) {
            std::prev(inserted)->lastOfName = false;
        }
        const auto kind = static_cast<std::uint32_t>(field.type.kind);
        const bool scalar = kind >= static_cast<std::uint32_t>(BindingTypeKind::Bool) &&
                            kind <= static_cast<std::uint32_t>(BindingTypeKind::Double);
        target_->scalarMembersOnly = target_->scalarMembersOnly && scalar && !sharedName &&
                                     field.converter != nullptr &&
                                     !hasFlag(field.flags, BindingFieldFlags::OmitWhenEmpty);
        target_->memberNameBytes += field.name.size() + 1;
        target_->fields.push_back(std::move(field));
    }
    return *this;
}

} // namespace kiv
