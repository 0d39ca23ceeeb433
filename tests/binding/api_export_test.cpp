#include "binding/binding_declaration.h"
#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kiv {
namespace {

enum class Mode : std::int32_t { Slow = 1, Fast = 2, Zippy = 2 };

struct Part {
    std::int32_t id = 0;
};

struct Machine {
    Mode mode = Mode::Slow;
    std::vector<Part> parts;
    std::vector<std::int32_t> numbers;
    std::string serial;
};

// Members of packed records are read by value: a reference to one may be misaligned.
template <class T> T copy(T member) {
    return member;
}

class ApiExportTest : public ::testing::Test {
  protected:
    ApiExportTest() {
        declareEnum<Mode>(registry, {"Mode", "How fast", {"t1", "", "t2"}, "Ns"},
                          {{"Slow", Mode::Slow, "slowly"}, {"Fast", Mode::Fast}, {"Zippy", Mode::Zippy}});
        declareStruct<Part>(registry, {"Part"}, {{"id", &Part::id}});
        declareStruct<Machine>(registry, {"Machine", "A machine", {"m"}},
                               {{"mode", &Machine::mode, "its mode"},
                                {"parts", &Machine::parts},
                                {"numbers", &Machine::numbers},
                                {"serial", &Machine::serial, "", BindingFieldFlags::None, true}});

        auto function = std::make_unique<BindingFunction>();
        function->name = "GetMachine";
        function->nameSpace = "Fn";
        function->description = "Reads a machine";
        function->help = "help text";
        function->threadSafe = true;
        function->async = true;
        function->returns = bindingTypeRefOf<Machine>(registry);
        function->tags = {"f1", "f2"};
        BindingArgument id;
        id.name = "id";
        id.description = "which";
        id.type = bindingTypeRefOf<std::int32_t>(registry);
        id.overrideType.kind = BindingTypeKind::String;
        BindingArgument odd;
        odd.name = "odd";
        odd.type.kind = static_cast<BindingTypeKind>(25);
        odd.type.elementKind = static_cast<BindingTypeKind>(40);
        odd.optional = true;
        function->arguments = {id, odd};
        EXPECT_TRUE(registry.registerFunction(std::move(function)).created);

        registry.beginEvent("OnMachine", registry.findTypeByName("Machine"))
            .setDescription("changed")
            .addTags("e");
    }

    template <class Record> static const Record* named(const Record* first, std::string_view name) {
        for (const Record* record = first; record != nullptr; record = record->next) {
            if (record->name == name) {
                return record;
            }
        }
        return nullptr;
    }

    template <class Record> static std::size_t listLength(const Record* first) {
        std::size_t length = 0;
        for (const Record* record = first; record != nullptr; record = record->next) {
            ++length;
        }
        return length;
    }

    BindingRegistry registry;
};

TEST_F(ApiExportTest, ArraysAreLinkedInOrderAndCounted) {
    const ApiExport& api = registry.exportApi();
    ASSERT_EQ(api.functionCount, 1u);
    ASSERT_EQ(api.typeCount, 3u);
    ASSERT_EQ(api.eventCount, 1u);
    for (std::uint32_t i = 0; i < api.typeCount; ++i) {
        EXPECT_EQ(copy(api.types[i].next), i + 1 < api.typeCount ? &api.types[i + 1] : nullptr);
    }
    EXPECT_EQ(copy(api.functions[0].next), nullptr);
    EXPECT_EQ(copy(api.events[0].next), nullptr);

    // The records follow the listing's order.
    registry.readListing([&](const BindingListing& listing) {
        ASSERT_EQ(listing.types.size(), api.typeCount);
        for (std::size_t i = 0; i < listing.types.size(); ++i) {
            EXPECT_STREQ(api.types[i].name, listing.types[i]->name.c_str());
        }
    });
}

TEST_F(ApiExportTest, TypesCarryTheirFieldsOrTheirEnumValues) {
    const ApiExport& api = registry.exportApi();
    const ExportedType* mode = named(api.types, "Mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_STREQ(mode->namespaceName, "Ns");
    EXPECT_STREQ(mode->description, "How fast");
    EXPECT_EQ(copy(mode->nativeSize), 4u);
    ASSERT_EQ(copy(mode->tagCount), 2u);
    EXPECT_STREQ(mode->tags[0], "t1");
    EXPECT_STREQ(mode->tags[1], "t2");
    EXPECT_EQ(copy(mode->fields), nullptr);
    ASSERT_EQ(copy(mode->memberCount), 3u);
    ASSERT_EQ(listLength(mode->enumValues), 3u);
    // Enumerator-name order.
    EXPECT_STREQ(mode->enumValues[0].name, "Fast");
    EXPECT_STREQ(mode->enumValues[1].name, "Slow");
    EXPECT_STREQ(mode->enumValues[1].description, "slowly");
    EXPECT_EQ(copy(mode->enumValues[1].value), 1);
    EXPECT_STREQ(mode->enumValues[2].name, "Zippy");

    const ExportedType* machine = named(api.types, "Machine");
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(copy(machine->nativeSize), sizeof(Machine));
    EXPECT_EQ(copy(machine->enumValues), nullptr);
    ASSERT_EQ(copy(machine->memberCount), 4u);
    ASSERT_EQ(listLength(machine->fields), 4u);
    struct Expected {
        const char* name;
        std::uint32_t kind;
        std::uint32_t elementKind;
        const char* typeName;
        std::uint8_t optional;
    };
    const Expected expected[] = {
        {"mode", 16, 0, "Mode", 0},
        {"parts", 15, 17, "Part", 0},
        {"numbers", 15, 6, "", 0},
        {"serial", 12, 0, "", 1},
    };
    const Machine sample;
    const auto offset = [&](const void* member) {
        return static_cast<std::uint32_t>(static_cast<const char*>(member) -
                                          reinterpret_cast<const char*>(&sample));
    };
    const std::uint32_t offsets[] = {offset(&sample.mode), offset(&sample.parts), offset(&sample.numbers),
                                     offset(&sample.serial)};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].name);
        const ExportedField& field = machine->fields[i];
        EXPECT_STREQ(field.name, expected[i].name);
        EXPECT_EQ(copy(field.offset), offsets[i]);
        EXPECT_EQ(copy(field.type.kind), expected[i].kind);
        EXPECT_EQ(copy(field.type.elementKind), expected[i].elementKind);
        EXPECT_STREQ(field.type.typeName, expected[i].typeName);
        EXPECT_EQ(copy(field.optional), expected[i].optional);
    }
    EXPECT_STREQ(machine->fields[0].description, "its mode");
    EXPECT_EQ(copy(machine->tagCount), 1u);
}

TEST_F(ApiExportTest, FunctionsAndEvents) {
    const ApiExport& api = registry.exportApi();
    const ExportedFunction& function = api.functions[0];
    EXPECT_STREQ(function.name, "GetMachine");
    EXPECT_STREQ(function.namespaceName, "Fn");
    EXPECT_EQ(copy(function.reserved), 0u);
    EXPECT_EQ(copy(function.context), nullptr);
    EXPECT_EQ(copy(function.result.kind), 17u);
    EXPECT_STREQ(function.result.typeName, "Machine");
    EXPECT_STREQ(function.description, "Reads a machine");
    EXPECT_STREQ(function.help, "help text");
    EXPECT_EQ(copy(function.threadSafe), 1);
    EXPECT_STREQ(function.asyncTypeName, "Machine");
    ASSERT_EQ(copy(function.tagCount), 2u);
    EXPECT_STREQ(function.tags[1], "f2");
    ASSERT_EQ(copy(function.argumentCount), 2u);
    ASSERT_EQ(listLength(function.arguments), 2u);
    // The override type is what the host sees; codes outside 1..19 are written as 0.
    EXPECT_STREQ(function.arguments[0].name, "id");
    EXPECT_STREQ(function.arguments[0].description, "which");
    EXPECT_EQ(copy(function.arguments[0].type.kind), 12u);
    EXPECT_EQ(copy(function.arguments[0].optional), 0);
    EXPECT_EQ(copy(function.arguments[1].type.kind), 0u);
    EXPECT_EQ(copy(function.arguments[1].type.elementKind), 0u);
    EXPECT_STREQ(function.arguments[1].type.typeName, "");
    EXPECT_EQ(copy(function.arguments[1].optional), 1);

    const ExportedEvent& event = api.events[0];
    EXPECT_STREQ(event.name, "OnMachine");
    EXPECT_STREQ(event.namespaceName, "");
    EXPECT_STREQ(event.payloadTypeName, "Machine");
    EXPECT_STREQ(event.description, "changed");
    ASSERT_EQ(copy(event.tagCount), 1u);
    EXPECT_STREQ(event.tags[0], "e");
}

TEST_F(ApiExportTest, ASynchronousFunctionHasNoAsyncTypeName) {
    registry.findFunction("GetMachine")->async = false;
    EXPECT_STREQ(registry.exportApi().functions[0].asyncTypeName, "");
}

TEST_F(ApiExportTest, RecordsOutliveWhatTheyDescribeUntilTheNextExport) {
    const ApiExport& first = registry.exportApi();
    const ExportedFunction* function = first.functions;
    const ExportedEvent* event = first.events;
    registry.unregisterFunction(registry.findFunction("GetMachine"));
    registry.removeEvent("OnMachine");
    EXPECT_STREQ(function->name, "GetMachine");
    EXPECT_STREQ(function->tags[1], "f2");
    EXPECT_STREQ(function->arguments->description, "which");
    EXPECT_STREQ(event->payloadTypeName, "Machine");
    EXPECT_STREQ(event->tags[0], "e");

    const ApiExport& api = registry.exportApi();
    EXPECT_EQ(api.functionCount, 0u);
    EXPECT_EQ(api.functions, nullptr);
    EXPECT_EQ(api.eventCount, 0u);
    EXPECT_EQ(api.typeCount, 3u);
}

#if UINTPTR_MAX == 0xFFFFFFFFu
// The host reads these records as bytes: check the 32-bit image itself.
template <class T> T readAt(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(record) + offset, sizeof value);
    return value;
}

const char* textAt(const void* record, std::size_t offset) {
    return readAt<const char*>(record, offset);
}

TEST_F(ApiExportTest, ByteImageOf32BitRecords) {
    const ApiExport& api = registry.exportApi();
    const void* top = &api;
    const auto* types = readAt<const std::uint8_t*>(top, 0 + 8);
    ASSERT_EQ(readAt<std::uint32_t>(top, 12), 3u);
    const auto* functions = readAt<const std::uint8_t*>(top, 0);
    ASSERT_EQ(readAt<std::uint32_t>(top, 4), 1u);
    const auto* events = readAt<const std::uint8_t*>(top, 16);
    ASSERT_EQ(readAt<std::uint32_t>(top, 20), 1u);

    // Types: 40-byte records, each linked to the next.
    const std::uint8_t* machine = nullptr;
    const std::uint8_t* mode = nullptr;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint8_t* type = types + 40 * i;
        EXPECT_EQ(readAt<const std::uint8_t*>(type, 0), i < 2 ? type + 40 : nullptr);
        const std::string name = textAt(type, 4);
        machine = name == "Machine" ? type : machine;
        mode = name == "Mode" ? type : mode;
    }
    ASSERT_NE(machine, nullptr);
    ASSERT_NE(mode, nullptr);
    EXPECT_STREQ(textAt(machine, 16), "A machine");
    EXPECT_EQ(readAt<std::uint32_t>(machine, 12), sizeof(Machine));
    EXPECT_EQ(readAt<std::uint32_t>(machine, 24), 1u);
    EXPECT_STREQ(readAt<const char* const*>(machine, 20)[0], "m");
    EXPECT_EQ(readAt<const void*>(machine, 32), nullptr);
    ASSERT_EQ(readAt<std::uint32_t>(machine, 36), 4u);

    // Fields: 29-byte records.
    const auto* fields = readAt<const std::uint8_t*>(machine, 28);
    const std::uint8_t* parts = fields + 29;
    EXPECT_EQ(readAt<const std::uint8_t*>(fields, 0), parts);
    EXPECT_STREQ(textAt(parts, 4), "parts");
    EXPECT_EQ(readAt<std::uint32_t>(parts, 16), 15u);
    EXPECT_EQ(readAt<std::uint32_t>(parts, 20), 17u);
    EXPECT_STREQ(textAt(parts, 24), "Part");
    const std::uint8_t* serial = fields + 3 * 29;
    EXPECT_EQ(readAt<const void*>(serial, 0), nullptr);
    EXPECT_EQ(readAt<std::uint32_t>(serial, 16), 12u);
    EXPECT_EQ(readAt<std::uint8_t>(serial, 28), 1);

    // Enum values: 16-byte records in name order.
    EXPECT_EQ(readAt<const void*>(mode, 28), nullptr);
    const auto* values = readAt<const std::uint8_t*>(mode, 32);
    ASSERT_EQ(readAt<std::uint32_t>(mode, 36), 3u);
    EXPECT_EQ(readAt<const std::uint8_t*>(values, 0), values + 16);
    EXPECT_STREQ(textAt(values + 16, 4), "Slow");
    EXPECT_STREQ(textAt(values + 16, 8), "slowly");
    EXPECT_EQ(readAt<std::int32_t>(values + 16, 12), 1);
    EXPECT_EQ(readAt<const void*>(values + 32, 0), nullptr);

    // The function: 61 bytes, with 25-byte arguments.
    EXPECT_EQ(readAt<const void*>(functions, 0), nullptr);
    EXPECT_EQ(readAt<std::uint32_t>(functions, 4), 0u);
    EXPECT_EQ(readAt<std::uint32_t>(functions, 8), 0u);
    EXPECT_STREQ(textAt(functions, 12), "GetMachine");
    EXPECT_STREQ(textAt(functions, 16), "Fn");
    EXPECT_EQ(readAt<std::uint32_t>(functions, 24), 2u);
    EXPECT_EQ(readAt<std::uint32_t>(functions, 28), 17u);
    EXPECT_EQ(readAt<std::uint32_t>(functions, 32), 0u);
    EXPECT_STREQ(textAt(functions, 36), "Machine");
    EXPECT_STREQ(textAt(functions, 40), "Reads a machine");
    EXPECT_STREQ(textAt(functions, 44), "help text");
    EXPECT_EQ(readAt<std::uint8_t>(functions, 48), 1);
    EXPECT_STREQ(textAt(functions, 49), "Machine");
    EXPECT_STREQ(readAt<const char* const*>(functions, 53)[0], "f1");
    EXPECT_EQ(readAt<std::uint32_t>(functions, 57), 2u);
    const auto* arguments = readAt<const std::uint8_t*>(functions, 20);
    EXPECT_EQ(readAt<const std::uint8_t*>(arguments, 0), arguments + 25);
    EXPECT_STREQ(textAt(arguments, 4), "id");
    EXPECT_STREQ(textAt(arguments, 8), "which");
    EXPECT_EQ(readAt<std::uint32_t>(arguments, 12), 12u);
    EXPECT_EQ(readAt<std::uint8_t>(arguments + 25, 24), 1);

    // The event: 28 bytes.
    EXPECT_STREQ(textAt(events, 4), "OnMachine");
    EXPECT_STREQ(textAt(events, 12), "Machine");
    EXPECT_STREQ(textAt(events, 16), "changed");
    EXPECT_STREQ(readAt<const char* const*>(events, 20)[0], "e");
    EXPECT_EQ(readAt<std::uint32_t>(events, 24), 1u);
}
#endif

} // namespace
} // namespace kiv
