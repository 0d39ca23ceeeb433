#include "binding/help_types.h"

#include "binding/binding_declaration.h"

namespace kiv {

namespace {

// Every help type carries these tags.
BindingTypeInfo helpType(std::string_view name, std::string_view description) {
    return {name, description, {"$builtin", "help"}};
}

} // namespace

void registerHelpTypes(BindingRegistry& registry) {
    declareEnum<BindingHelpFormat>(
        registry, helpType("BindingHelpFormat", "Help format for binding functions and types."),
        {{"Full", BindingHelpFormat::Full, "Native help format"},
         {"Epytext", BindingHelpFormat::Epytext, "Python epytext format"}});

    using Identifier = BindingFullTypeIdentifier;
    declareStruct<Identifier>(registry,
                              helpType("BindingFullTypeIdentifier", "Describes the type of a value."),
                              {{"type", &Identifier::type}, {"elementType", &Identifier::elementType}});

    using Argument = BindingFullArgumentHelp;
    declareStruct<Argument>(registry, helpType("BindingFullArgumentHelp", "Describes a function parameter."),
                            {{"name", &Argument::name},
                             {"description", &Argument::description},
                             {"type", &Argument::type},
                             {"optional", &Argument::optional}});

    using Function = BindingFullFunctionHelp;
    declareStruct<Function>(registry, helpType("BindingFullFunctionHelp", "Describes a function."),
                            {{"name", &Function::name},
                             {"nameSpace", &Function::nameSpace},
                             {"arguments", &Function::arguments},
                             {"returns", &Function::returns},
                             {"description", &Function::description},
                             {"help", &Function::help},
                             {"threadSafe", &Function::threadSafe},
                             {"async", &Function::async},
                             {"tags", &Function::tags}});

    using Enumerator = BindingFullEnumValueHelp;
    declareStruct<Enumerator>(registry, helpType("BindingFullEnumValueHelp", "Describes an enumerator."),
                              {{"name", &Enumerator::name},
                               {"description", &Enumerator::description},
                               {"value", &Enumerator::value}});

    using Field = BindingFullFieldHelp;
    declareStruct<Field>(registry, helpType("BindingFullFieldHelp", "Describes a member of a struct."),
                         {{"name", &Field::name},
                          {"description", &Field::description},
                          {"offset", &Field::offset},
                          {"type", &Field::type},
                          {"optional", &Field::optional}});

    using Type = BindingFullTypeHelp;
    declareStruct<Type>(registry, helpType("BindingFullTypeHelp", "Describes a struct or enum type."),
                        {{"name", &Type::name},
                         {"nameSpace", &Type::nameSpace},
                         {"size", &Type::size},
                         {"description", &Type::description},
                         {"tags", &Type::tags},
                         {"fields", &Type::fields},
                         {"values", &Type::values}});

    using Event = BindingFullEventHelp;
    declareStruct<Event>(registry, helpType("BindingFullEventHelp", "Describes an event."),
                         {{"name", &Event::name},
                          {"nameSpace", &Event::nameSpace},
                          {"type", &Event::type},
                          {"description", &Event::description},
                          {"tags", &Event::tags}});

    using Api = BindingFullApiHelp;
    declareStruct<Api>(registry, helpType("BindingFullApiHelp", "Describes the exposed native API."),
                       {{"functions", &Api::functions}, {"types", &Api::types}, {"events", &Api::events}});
}

} // namespace kiv
