#include "binding/binding_declaration.h"
#include "value/flat_value.h"
#include "value_builders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kiv {
namespace {

enum class ChangeType : std::int32_t { Create = 0, Update = 1, Delete = 2 };

struct ChangeEvent {
    std::string uri;
    ChangeType eventType = ChangeType::Create;
    Value data;
};

struct Everything {
    bool flag = false;
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    std::int16_t i16 = 0;
    std::uint16_t u16 = 0;
    std::int32_t i32 = 0;
    std::uint32_t u32 = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    float f = 0;
    double d = 0;
    std::string text;
    Value object;
    std::vector<std::uint8_t> blob;
    std::vector<std::string> texts;
    ChangeType type = ChangeType::Create;
    ChangeEvent event;
    std::map<std::string, ChangeEvent> events;
};

} // namespace

template <> struct BindingTypeIdentity<ChangeType> {
    static constexpr std::uint32_t hash = 0xDC24D2AD;
};
template <> struct BindingTypeIdentity<ChangeEvent> {
    static constexpr std::uint32_t hash = 0xA54F35FD;
};

namespace {

using namespace kiv::test;

class DeclarationTest : public ::testing::Test {
  protected:
    DeclarationTest() {
        declareEnum<ChangeType>(
            registry, {"ChangeType", "", {"pclient"}},
            {{"Create", ChangeType::Create}, {"Update", ChangeType::Update}, {"Delete", ChangeType::Delete}});
        declareStruct<ChangeEvent>(registry, {"ChangeEvent", "", {"pclient"}},
                                   {{"uri", &ChangeEvent::uri},
                                    {"eventType", &ChangeEvent::eventType},
                                    {"data", &ChangeEvent::data}});
    }

    BindingRegistry registry;
};

TEST_F(DeclarationTest, FixedIdentitiesNameTheTypeByNumber) {
    const BindingTypeDescriptor* event = registry.findType(BindingTypeId{0xA54F35FD, ""});
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->name, "ChangeEvent");
    EXPECT_STREQ(event->identity->name, "#A54F35FD");
    EXPECT_EQ(event->identityHash, 0xA54F35FDu);
    EXPECT_EQ(event->size, sizeof(ChangeEvent));
    EXPECT_EQ(event->tags, std::vector<std::string>{"pclient"});
    EXPECT_STREQ(registry.findTypeByName("ChangeType")->identity->name, "#DC24D2AD");
}

TEST_F(DeclarationTest, MemberTypesOffsetsAndConvertersComeFromTheNativeLayout) {
    const BindingTypeDescriptor& type = declareStruct<Everything>(registry, {"Everything"},
                                                                  {{"flag", &Everything::flag},
                                                                   {"i8", &Everything::i8},
                                                                   {"u8", &Everything::u8},
                                                                   {"i16", &Everything::i16},
                                                                   {"u16", &Everything::u16},
                                                                   {"i32", &Everything::i32},
                                                                   {"u32", &Everything::u32},
                                                                   {"i64", &Everything::i64},
                                                                   {"u64", &Everything::u64},
                                                                   {"f", &Everything::f},
                                                                   {"d", &Everything::d},
                                                                   {"text", &Everything::text},
                                                                   {"object", &Everything::object},
                                                                   {"blob", &Everything::blob},
                                                                   {"texts", &Everything::texts},
                                                                   {"type", &Everything::type},
                                                                   {"event", &Everything::event},
                                                                   {"events", &Everything::events}});
    using K = BindingTypeKind;
    const K kinds[] = {K::Bool,   K::Int8,  K::UInt8,  K::Int16, K::UInt16, K::Int32,
                       K::UInt32, K::Int64, K::UInt64, K::Float, K::Double, K::String,
                       K::Object, K::Blob,  K::Vector, K::Enum,  K::Struct, K::Map};
    const Everything sample;
    const auto* base = reinterpret_cast<const char*>(&sample);
    const void* members[] = {&sample.flag, &sample.i8,    &sample.u8,     &sample.i16,  &sample.u16,
                             &sample.i32,  &sample.u32,   &sample.i64,    &sample.u64,  &sample.f,
                             &sample.d,    &sample.text,  &sample.object, &sample.blob, &sample.texts,
                             &sample.type, &sample.event, &sample.events};
    ASSERT_EQ(type.fields.size(), std::size(kinds));
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        const BindingField& field = type.fields[i];
        SCOPED_TRACE(field.name);
        EXPECT_EQ(field.type.kind, kinds[i]);
        EXPECT_EQ(field.offset, static_cast<std::uint32_t>(static_cast<const char*>(members[i]) - base));
        EXPECT_NE(field.converter, nullptr);
        EXPECT_EQ(field.nameHash, fnv1a(field.name));
    }
    EXPECT_EQ(type.fields[14].type.elementKind, K::String);
    EXPECT_EQ(type.fields[15].type.descriptor, registry.findTypeByName("ChangeType"));
    EXPECT_EQ(type.fields[16].identity, &bindingTypeIdOf<ChangeEvent>());
    EXPECT_EQ(type.fields[17].type.elementKind, K::Struct);
    EXPECT_EQ(type.fields[17].type.descriptor, registry.findTypeByName("ChangeEvent"));
}

TEST_F(DeclarationTest, DeclaringAgainChangesNothing) {
    const BindingTypeDescriptor& again =
        declareStruct<ChangeEvent>(registry, {"ChangeEvent", "changed", {"x"}}, {{"uri", &ChangeEvent::uri}});
    EXPECT_EQ(again.fields.size(), 3u);
    EXPECT_EQ(again.description, "");
    EXPECT_EQ(again.tags, std::vector<std::string>{"pclient"});
    declareEnum<ChangeType>(registry, {"ChangeType"}, {{"Other", ChangeType::Delete}});
    EXPECT_EQ(registry.findTypeByName("ChangeType")->enumerators.size(), 3u);
}

TEST_F(DeclarationTest, EventPayloadsConvertByEnumeratorName) {
    ChangeEvent event;
    ConversionResult result;
    assignNative(
        result, event,
        structureOf(
            {{"uri", stringValue("/a")}, {"eventType", stringValue("Update")}, {"data", signedValue(5)}}),
        "<result>", registry);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(event.uri, "/a");
    EXPECT_EQ(event.eventType, ChangeType::Update);
    EXPECT_EQ(event.data.getSigned(0), 5);

    ConversionResult converted;
    convertNative(converted, event, registry);
    ASSERT_TRUE(converted.ok());
    const EnumValue type = converted.value()["eventType"].getEnum({});
    EXPECT_EQ(type.value, 1);
    EXPECT_EQ(registry.enumeratorName(type.type, type.value), "Update");

    // Towards the host the registry names the enumerator.
    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(converted.value()["eventType"], flat, &registry));
    EXPECT_EQ(flat.kind, static_cast<std::uint32_t>(KIV_FLAT_STRING_OWNED));
    EXPECT_STREQ(reinterpret_cast<const char*>(flat.a), "Update");
    releaseFlat(flat);
}

} // namespace
} // namespace kiv
