#include "binding/binding_declaration.h"

namespace kiv {

namespace {

void describe(BindingTypeBuilder& builder, const BindingTypeInfo& info) {
    builder.setDescription(info.description)
        .setNamespace(info.nameSpace)
        .addTags(info.tags[0], info.tags[1], info.tags[2], info.tags[3])
        .addTagList(info.tagList);
}

} // namespace

const BindingTypeDescriptor& declareStructure(BindingRegistry& registry, std::uint32_t nativeSize,
                                              const BindingTypeId& identity, const BindingTypeInfo& info,
                                              std::span<const BindingMember> members) {
    BindingTypeBuilder builder = registry.beginType(nativeSize, info.name, identity, false);
    if (builder.alreadyRegistered()) {
        return builder.descriptor();
    }
    for (const BindingMember& member : members) {
        BindingField field;
        field.name = member.name;
        field.identity = member.identity;
        field.description = member.description;
        field.offset = member.offset;
        field.type = member.typeOf(registry);
        field.flags = member.flags;
        field.converter = member.converter;
        field.optional = member.optional;
        builder.addField(std::move(field));
    }
    describe(builder, info);
    return builder.descriptor();
}

const BindingTypeDescriptor& declareEnumeration(BindingRegistry& registry, std::uint32_t nativeSize,
                                                const BindingTypeId& identity, const BindingTypeInfo& info,
                                                std::span<const BindingEnumeratorEntry> enumerators) {
    BindingTypeBuilder builder = registry.beginType(nativeSize, info.name, identity, true);
    for (const BindingEnumeratorEntry& enumerator : enumerators) {
        builder.addEnumerator(enumerator.name, enumerator.value, enumerator.description);
    }
    describe(builder, info);
    return builder.descriptor();
}

} // namespace kiv
