#include "binding/api_help.h"
#include "binding/binding_declaration.h"
#include "binding/registry_initialization.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kiv::api_help_test {
namespace {

enum class Mode : std::int32_t { Slow = 1, Fast = 2 };

struct Part {
    std::int32_t id = 0;
};

struct Unlisted {
    std::int32_t id = 0;
};

struct Machine {
    Mode mode = Mode::Slow;
    std::vector<Part> parts;
    std::vector<std::int32_t> numbers;
    std::map<std::string, Mode> modes;
    Unlisted unlisted;
};

TEST(DescribeTypeTest, KindNamesRegisteredNamesAndElements) {
    BindingRegistry registry;
    declareEnum<Mode>(registry, {"Mode"}, {{"Slow", Mode::Slow}});
    declareStruct<Part>(registry, {"Part"}, {{"id", &Part::id}});
    struct Case {
        const char* label;
        BindingTypeRef type;
        std::string name;
        std::string element;
    };
    const std::vector<Case> cases = {
        {"scalar", bindingTypeRefOf<std::uint32_t>(registry), "uint32", ""},
        {"object", bindingTypeRefOf<Value>(registry), "object", ""},
        {"enum", bindingTypeRefOf<Mode>(registry), "Mode", ""},
        {"structure", bindingTypeRefOf<Part>(registry), "Part", ""},
        {"unregistered structure", bindingTypeRefOf<Unlisted>(registry), "struct", ""},
        {"vector of scalars", bindingTypeRefOf<std::vector<double>>(registry), "vector", "double"},
        {"vector of structures", bindingTypeRefOf<std::vector<Part>>(registry), "vector", "Part"},
        {"map of enums", bindingTypeRefOf<std::map<std::string, Mode>>(registry), "map", "Mode"},
        {"blob", bindingTypeRefOf<std::vector<std::uint8_t>>(registry), "blob", ""},
        {"callback", {BindingTypeKind::Callback}, "callback", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const BindingFullTypeIdentifier identifier = describeType(c.type);
        EXPECT_EQ(identifier.type, c.name);
        EXPECT_EQ(identifier.elementType, c.element);
    }
}

TEST(DescribeApiTest, FunctionsTypesAndEventsAsHelpShowsThem) {
    BindingRegistry registry;
    initializeRegistry(registry);
    declareEnum<Mode>(registry, {"Mode", "speed"}, {{"Slow", Mode::Slow, "s"}, {"Fast", Mode::Fast, "f"}});
    declareStruct<Part>(registry, {"Part"}, {{"id", &Part::id}});
    declareStruct<Machine>(registry, {"Machine", "", {"m"}, "Ns"},
                           {{"mode", &Machine::mode, "its mode", BindingFieldFlags::None, true},
                            {"parts", &Machine::parts},
                            {"modes", &Machine::modes}});

    auto function = std::make_unique<BindingFunction>();
    function->name = "Start";
    function->async = true;
    function->threadSafe = true;
    function->returns = bindingTypeRefOf<Machine>(registry);
    BindingArgument argument;
    argument.name = "count";
    argument.type = bindingTypeRefOf<std::int32_t>(registry);
    argument.overrideType.kind = BindingTypeKind::String;
    function->arguments.push_back(argument);
    ASSERT_TRUE(registry.registerFunction(std::move(function)).created);

    const BindingFullApiHelp help = describeApi(registry);
    ASSERT_EQ(help.functions.size(), 1u);
    const BindingFullFunctionHelp& start = help.functions[0];
    EXPECT_EQ(start.async, "Machine");
    EXPECT_TRUE(start.threadSafe);
    EXPECT_EQ(start.returns.type, "Machine");
    ASSERT_EQ(start.arguments.size(), 1u);
    EXPECT_EQ(start.arguments[0].type.type, "int32"); // the declared type, not the override

    const auto type = [&](std::string_view name) {
        for (const BindingFullTypeHelp& candidate : help.types) {
            if (candidate.name == name) {
                return candidate;
            }
        }
        ADD_FAILURE() << name;
        return BindingFullTypeHelp{};
    };
    const BindingFullTypeHelp mode = type("Mode");
    ASSERT_EQ(mode.values.size(), 2u);
    EXPECT_EQ(mode.values[0].name, "Fast");
    EXPECT_EQ(mode.values[0].value, 2);
    EXPECT_EQ(mode.values[1].description, "s");
    EXPECT_TRUE(mode.fields.empty());

    const BindingFullTypeHelp machine = type("Machine");
    EXPECT_EQ(machine.nameSpace, "Ns");
    EXPECT_EQ(machine.size, sizeof(Machine));
    EXPECT_EQ(machine.tags, std::vector<std::string>{"m"});
    ASSERT_EQ(machine.fields.size(), 3u);
    EXPECT_EQ(machine.fields[0].description, "its mode");
    EXPECT_TRUE(machine.fields[0].optional);
    EXPECT_EQ(machine.fields[1].type.elementType, "Part");
    EXPECT_EQ(machine.fields[2].type.type, "map");
    EXPECT_EQ(machine.fields[2].offset, registry.findTypeByName("Machine")->fields[2].offset);

    ASSERT_EQ(help.events.size(), 1u);
    EXPECT_EQ(help.events[0].name, "OnCallback");
    EXPECT_EQ(help.events[0].type.type, "BindingCallbackEvent");
    EXPECT_EQ(help.events[0].tags, std::vector<std::string>{"$builtin"});

    // The help converts with the builtin help types.
    ConversionResult converted;
    convertNative(converted, help, registry);
    ASSERT_TRUE(converted.ok()) << converted.errorText();
    EXPECT_EQ(converted.value()["functions"][0]["async"].getString({}), "Machine");
    EXPECT_EQ(converted.value()["types"].size(), help.types.size());
}

} // namespace
} // namespace kiv::api_help_test
