#include "binding/api_help.h"

#include "binding/binding_registry.h"

namespace kiv {

namespace {

BindingFullFunctionHelp describeFunction(const BindingFunction& function) {
    BindingFullFunctionHelp help;
    help.name = function.name;
    help.nameSpace = function.nameSpace;
    for (const BindingArgument& argument : function.arguments) {
        help.arguments.push_back(
            {argument.name, argument.description, describeType(argument.type), argument.optional});
    }
    help.returns = describeType(function.returns);
    help.description = function.description;
    help.help = function.help;
    help.threadSafe = function.threadSafe;
    if (function.async && function.returns.descriptor != nullptr) {
        help.async = function.returns.descriptor->name;
    }
    help.tags = function.tags;
    return help;
}

BindingFullTypeHelp describeDescriptor(const BindingTypeDescriptor& type) {
    BindingFullTypeHelp help;
    help.name = type.name;
    help.nameSpace = type.nameSpace;
    help.size = type.size;
    help.description = type.description;
    help.tags = type.tags;
    for (const BindingField& field : type.fields) {
        help.fields.push_back(
            {field.name, field.description, field.offset, describeType(field.type), field.optional});
    }
    for (const auto& [name, enumerator] : type.enumerators) {
        help.values.push_back({enumerator.name, enumerator.description, enumerator.value});
    }
    return help;
}

BindingFullEventHelp describeEvent(const BindingEvent& event) {
    BindingTypeRef payload;
    payload.kind = BindingTypeKind::Struct;
    payload.descriptor = event.payload;
    return {event.name, event.nameSpace, describeType(payload), event.description, event.tags};
}

} // namespace

BindingFullTypeIdentifier describeType(const BindingTypeRef& type) {
    BindingFullTypeIdentifier identifier;
    identifier.type = bindingTypeName(type.kind, type.descriptor);
    if (type.hasElement()) {
        identifier.elementType = bindingTypeName(type.elementKind, type.descriptor);
    }
    return identifier;
}

BindingFullApiHelp describeApi(const BindingRegistry& registry) {
    // Built while the registry holds still: a listed function may otherwise be removed and
    // destroyed while it is being described.
    return registry.readListing([](const BindingListing& listing) {
        BindingFullApiHelp help;
        for (const BindingFunction* function : listing.functions) {
            help.functions.push_back(describeFunction(*function));
        }
        for (const BindingTypeDescriptor* type : listing.types) {
            help.types.push_back(describeDescriptor(*type));
        }
        for (const BindingEvent* event : listing.events) {
            help.events.push_back(describeEvent(*event));
        }
        return help;
    });
}

} // namespace kiv
