#include "binding/async_types.h"
#include "binding/binding_registry.h"
#include "binding/help_types.h"
#include "binding/native_conversion.h"
#include "binding/registry_initialization.h"
#include "value_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv {
namespace {

using namespace kiv::test;

struct Builtin {
    const char* name;
    bool isEnum;
    std::vector<std::string> tags;
};

const std::vector<Builtin> kBuiltins = {
    {"BindingHelpFormat", true, {"$builtin", "help"}},
    {"BindingFullTypeIdentifier", false, {"$builtin", "help"}},
    {"BindingFullArgumentHelp", false, {"$builtin", "help"}},
    {"BindingFullFunctionHelp", false, {"$builtin", "help"}},
    {"BindingFullEnumValueHelp", false, {"$builtin", "help"}},
    {"BindingFullFieldHelp", false, {"$builtin", "help"}},
    {"BindingFullTypeHelp", false, {"$builtin", "help"}},
    {"BindingFullEventHelp", false, {"$builtin", "help"}},
    {"BindingFullApiHelp", false, {"$builtin", "help"}},
    {"BindingAsyncState", true, {"$builtin", "async"}},
    {"BindingGenericEvent", false, {"$builtin"}},
    {"BindingCallbackEvent", false, {"$builtin"}},
    {"BindingGenericAsyncEvent", false, {"$builtin", "async"}},
    {"BindingAsyncFailureEvent", false, {"$builtin", "async"}},
    {"BindingAsyncCancelEvent", false, {"$builtin", "async"}},
};

std::vector<std::string> fieldNames(const BindingTypeDescriptor& type) {
    std::vector<std::string> names;
    for (const BindingField& field : type.fields) {
        names.push_back(field.name);
    }
    return names;
}

class BuiltinTypesTest : public ::testing::Test {
  protected:
    BuiltinTypesTest() { initializeRegistry(registry); }

    const BindingTypeDescriptor& type(std::string_view name) {
        const BindingTypeDescriptor* descriptor = registry.findTypeByName(name);
        EXPECT_NE(descriptor, nullptr) << name;
        return *descriptor;
    }

    BindingRegistry registry;
};

TEST_F(BuiltinTypesTest, EveryBuiltinIsRegisteredOnceWithItsTags) {
    EXPECT_TRUE(registry.isInitialized());
    initializeRegistry(registry);
    registry.readListing([](const BindingListing& listing) {
        EXPECT_EQ(listing.types.size(), kBuiltins.size());
        EXPECT_EQ(listing.events.size(), 1u);
    });
    for (const Builtin& builtin : kBuiltins) {
        SCOPED_TRACE(builtin.name);
        const BindingTypeDescriptor& descriptor = type(builtin.name);
        EXPECT_EQ(descriptor.isEnum, builtin.isEnum);
        EXPECT_EQ(descriptor.tags, builtin.tags);
        EXPECT_FALSE(descriptor.description.empty());
        EXPECT_EQ(registry.findType(*descriptor.identity), &descriptor);
    }
}

TEST_F(BuiltinTypesTest, HelpFormatAndApiHelp) {
    const BindingTypeDescriptor& format = type("BindingHelpFormat");
    EXPECT_EQ(format.description, "Help format for binding functions and types.");
    ASSERT_EQ(format.enumerators.size(), 2u);
    EXPECT_EQ(format.enumeratorNamed("Full")->value, 1);
    EXPECT_EQ(format.enumeratorNamed("Full")->description, "Native help format");
    EXPECT_EQ(format.enumeratorNamed("Epytext")->value, 2);
    EXPECT_EQ(format.enumeratorNamed("Epytext")->description, "Python epytext format");

    const BindingTypeDescriptor& api = type("BindingFullApiHelp");
    EXPECT_EQ(api.description, "Describes the exposed native API.");
    EXPECT_EQ(fieldNames(api), (std::vector<std::string>{"functions", "types", "events"}));
    EXPECT_EQ(api.fields[1].type.kind, BindingTypeKind::Vector);
    EXPECT_EQ(api.fields[1].type.elementKind, BindingTypeKind::Struct);
    EXPECT_EQ(api.fields[1].type.descriptor, &type("BindingFullTypeHelp"));

    EXPECT_EQ(fieldNames(type("BindingFullFunctionHelp")),
              (std::vector<std::string>{"name", "nameSpace", "arguments", "returns", "description", "help",
                                        "threadSafe", "async", "tags"}));
    EXPECT_EQ(
        fieldNames(type("BindingFullTypeHelp")),
        (std::vector<std::string>{"name", "nameSpace", "size", "description", "tags", "fields", "values"}));
    const BindingTypeDescriptor& field = type("BindingFullFieldHelp");
    EXPECT_EQ(field.fields[2].name, "offset");
    EXPECT_EQ(field.fields[2].type.kind, BindingTypeKind::UInt32);
    EXPECT_EQ(field.fields[3].type.descriptor, &type("BindingFullTypeIdentifier"));
    EXPECT_EQ(type("BindingFullEnumValueHelp").fields[2].type.kind, BindingTypeKind::Int32);
    for (const BindingField& member : field.fields) {
        EXPECT_EQ(member.description, "");
    }
}

TEST_F(BuiltinTypesTest, AsyncTypesAndTheCallbackEvent) {
    const BindingTypeDescriptor& state = type("BindingAsyncState");
    EXPECT_EQ(state.description, "Possible states of an asynchronous operation.");
    ASSERT_EQ(state.enumerators.size(), 6u);
    EXPECT_EQ(state.enumeratorNamed("Cancelling")->value, 2);
    EXPECT_EQ(state.enumeratorNamed("Cancelling")->description,
              "A request to cancel the operation has been made");
    EXPECT_EQ(state.enumeratorNamed("Failed")->value, 5);
    EXPECT_EQ(registry.enumeratorName(state.identity, 0), "None");

    const BindingTypeDescriptor& callback = type("BindingCallbackEvent");
    ASSERT_EQ(callback.fields.size(), 2u);
    EXPECT_EQ(callback.fields[0].description, "ID of the callback being invoked");
    EXPECT_EQ(callback.fields[1].type.kind, BindingTypeKind::Vector);
    EXPECT_EQ(callback.fields[1].type.elementKind, BindingTypeKind::Object);
    EXPECT_EQ(callback.size, sizeof(BindingCallbackEvent));

    const BindingAsyncFailureEvent sample;
    const BindingTypeDescriptor& failure = type("BindingAsyncFailureEvent");
    EXPECT_EQ(failure.fields[1].offset,
              static_cast<std::uint32_t>(reinterpret_cast<const char*>(&sample.error) -
                                         reinterpret_cast<const char*>(&sample)));
    EXPECT_EQ(failure.fields[1].type.kind, BindingTypeKind::String);

    const BindingEvent* event = registry.findEvent("OnCallback");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->payload, &callback);
    EXPECT_EQ(event->description, "Fired when a callback is invoked.");
    EXPECT_EQ(event->tags, std::vector<std::string>{"$builtin"});
}

TEST_F(BuiltinTypesTest, CallbackAndFailureEventsConvert) {
    BindingCallbackEvent callback;
    callback.id = 7;
    callback.parameters.resize(2);
    callback.parameters[0].setString("first");
    callback.parameters[1].member("k").setSigned(2);
    ConversionResult result;
    convertNative(result, callback, registry);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.value()["id"].kind(), ValueKind::Unsigned);
    EXPECT_EQ(result.value()["id"].getUnsigned(0), 7u);
    ASSERT_EQ(result.value()["parameters"].size(), 2u);
    EXPECT_EQ(result.value()["parameters"][0].getString({}), "first");
    EXPECT_EQ(result.value()["parameters"][1]["k"].getSigned(0), 2);

    ConversionResult failure;
    convertNative(failure, BindingAsyncFailureEvent{3, "broken"}, registry);
    ASSERT_TRUE(failure.ok()) << failure.errorText();
    std::vector<std::string> keys;
    for (const ValueMember member : failure.value().members()) {
        keys.emplace_back(member.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"asyncToken", "error"}));
    EXPECT_EQ(failure.value()["error"].getString({}), "broken");
}

TEST_F(BuiltinTypesTest, HelpRecordsRoundTrip) {
    const Value input = structureOf({
        {"types", collectionOf({structureOf({
                      {"name", stringValue("T")},
                      {"size", unsignedValue(8)},
                      {"tags", collectionOf({stringValue("a")})},
                      {"fields", collectionOf({structureOf(
                                     {{"name", stringValue("f")},
                                      {"type", structureOf({{"type", stringValue("vector")},
                                                            {"elementType", stringValue("int32")}})},
                                      {"optional", stringValue("true")}})})},
                  })})},
    });
    BindingFullApiHelp help;
    ConversionResult assigned;
    assignNative(assigned, help, input, "help", registry);
    ASSERT_TRUE(assigned.ok()) << assigned.errorText();
    ASSERT_EQ(help.types.size(), 1u);
    EXPECT_EQ(help.types[0].size, 8u);
    ASSERT_EQ(help.types[0].fields.size(), 1u);
    EXPECT_EQ(help.types[0].fields[0].type.elementType, "int32");
    EXPECT_TRUE(help.types[0].fields[0].optional);

    ConversionResult converted;
    convertNative(converted, help, registry);
    ASSERT_TRUE(converted.ok());
    const Value& type = converted.value()["types"][0];
    EXPECT_EQ(type["name"].getString({}), "T");
    EXPECT_EQ(type["fields"][0]["type"]["type"].getString({}), "vector");
    EXPECT_TRUE(type["fields"][0]["optional"].getBool(false));
    EXPECT_EQ(type["values"].kind(), ValueKind::Collection);
    EXPECT_EQ(converted.value()["functions"].size(), 0u);
}

} // namespace
} // namespace kiv
