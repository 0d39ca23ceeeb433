#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kiv {
namespace {

struct Plain {};
struct Other {};
struct Fixed {};
enum class Colour : std::int32_t { Red };

} // namespace

template <> struct BindingTypeIdentity<Fixed> {
    static constexpr std::uint32_t hash = 0xABCD;
};
template <> struct BindingTypeIdentity<Colour> {
    static constexpr std::uint32_t hash = 0xC0105;
    static constexpr const char* name = "Colour";
};

namespace {

// How many functions, types and events the registry lists.
struct ListedCounts {
    std::size_t functions;
    std::size_t types;
    std::size_t events;
};
ListedCounts listedCounts(const BindingRegistry& registry) {
    return registry.readListing([](const BindingListing& listing) {
        return ListedCounts{listing.functions.size(), listing.types.size(), listing.events.size()};
    });
}

TEST(BindingTypeIdTest, NamesAreHashesInEightUpperCaseHexDigitsUnlessTheTypeNamesItself) {
    EXPECT_STREQ(bindingTypeIdOf<Fixed>().name, "#0000ABCD");
    EXPECT_EQ(bindingTypeIdOf<Fixed>().hash, 0xABCDu);
    EXPECT_STREQ(bindingTypeIdOf<Colour>().name, "Colour");
    EXPECT_STREQ(reservedBindingTypeId().name, "#00000000");

    char expected[10];
    std::snprintf(expected, sizeof expected, "#%08X", static_cast<unsigned>(bindingTypeIdOf<Plain>().hash));
    EXPECT_STREQ(bindingTypeIdOf<Plain>().name, expected);
}

TEST(BindingTypeIdTest, EachNativeTypeHasOneDistinctIdentity) {
    EXPECT_EQ(&bindingTypeIdOf<Plain>(), &bindingTypeIdOf<const Plain>());
    const std::array<std::uint32_t, 6> hashes = {
        bindingTypeIdOf<Plain>().hash,       bindingTypeIdOf<Other>().hash,
        bindingTypeIdOf<int>().hash,         bindingTypeIdOf<unsigned>().hash,
        bindingTypeIdOf<std::string>().hash, bindingTypeIdOf<Colour>().hash};
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        EXPECT_NE(hashes[i], kReservedBindingTypeHash);
        for (std::size_t j = i + 1; j < hashes.size(); ++j) {
            EXPECT_NE(hashes[i], hashes[j]) << i << " and " << j;
        }
    }
}

TEST(BindingTypeIdTest, IdentitiesCompareByHashOnly) {
    const BindingTypeId a{7, "a"};
    const BindingTypeId b{7, "b"};
    const BindingTypeId c{8, "a"};
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a == c);
}

TEST(BindingTypeKindTest, NamesAndExportCodes) {
    EXPECT_EQ(bindingTypeKindName(BindingTypeKind::None), "");
    EXPECT_EQ(bindingTypeKindName(BindingTypeKind::Int32), "int32");
    EXPECT_EQ(bindingTypeKindName(BindingTypeKind::Object), "object");
    EXPECT_EQ(bindingTypeKindName(BindingTypeKind::Callback), "callback");
    EXPECT_EQ(bindingTypeKindName(BindingTypeKind::Map), "map");
    EXPECT_EQ(bindingTypeKindName(static_cast<BindingTypeKind>(20)), "");
    EXPECT_EQ(bindingTypeKindName(static_cast<BindingTypeKind>(0xFFFFFFFF)), "");
    EXPECT_EQ(exportedKindCode(BindingTypeKind::Map), 19u);
    EXPECT_EQ(exportedKindCode(static_cast<BindingTypeKind>(20)), 0u);
}

TEST(BindingRegistryTest, ARepeatedTypeNameYieldsAnInertBuilderOnTheFirstDescriptor) {
    BindingRegistry registry;
    BindingTypeBuilder first = registry.beginType(4, "Colour", bindingTypeIdOf<Colour>(), true);
    ASSERT_FALSE(first.alreadyRegistered());
    first.addEnumerator("Red", 0, "").setDescription("first").addTags("a");

    BindingTypeBuilder second = registry.beginType(8, "Colour", bindingTypeIdOf<Plain>(), false);
    EXPECT_TRUE(second.alreadyRegistered());
    EXPECT_EQ(&second.descriptor(), &first.descriptor());
    BindingField field;
    field.name = "x";
    second.addEnumerator("Blue", 1, "")
        .addField(field)
        .setDescription("second")
        .setNamespace("ns")
        .addTags("b");

    const BindingTypeDescriptor& descriptor = first.descriptor();
    EXPECT_EQ(descriptor.size, 4u);
    EXPECT_TRUE(descriptor.isEnum);
    EXPECT_EQ(descriptor.enumerators.size(), 1u);
    EXPECT_TRUE(descriptor.fields.empty());
    EXPECT_EQ(descriptor.description, "first");
    EXPECT_EQ(descriptor.nameSpace, "");
    EXPECT_EQ(descriptor.tags, std::vector<std::string>{"a"});
    EXPECT_EQ(registry.findType(bindingTypeIdOf<Plain>()), nullptr);
}

TEST(BindingRegistryTest, TypesAreFoundByNameAndIdentityButTheReservedIdentityIsNeverIndexed) {
    BindingRegistry registry;
    const auto& plain = registry.beginType(1, "Plain", bindingTypeIdOf<Plain>(), false).descriptor();
    const auto& anonymous = registry.beginType(1, "Anonymous", reservedBindingTypeId(), false).descriptor();

    EXPECT_EQ(registry.findType(bindingTypeIdOf<Plain>()), &plain);
    EXPECT_EQ(registry.findType(BindingTypeId{plain.identityHash, "another object"}), &plain);
    EXPECT_EQ(registry.findType(reservedBindingTypeId()), nullptr);
    EXPECT_EQ(registry.findTypeByName("Anonymous"), &anonymous);
    EXPECT_EQ(registry.findTypeByName("Missing"), nullptr);
    EXPECT_EQ(registry.findType(bindingTypeIdOf<Other>()), nullptr);
    EXPECT_EQ(plain.registry, &registry);
}

TEST(BindingRegistryTest, TagsSkipEmptyTextsAndKeepTheirOrder) {
    BindingRegistry registry;
    BindingTypeBuilder builder = registry.beginType(1, "Plain", bindingTypeIdOf<Plain>(), false);
    builder.addTags("$builtin", "async", "", "");
    const std::vector<std::string> defaults = {"", "plugin", "extra"};
    builder.addTagList(defaults);
    EXPECT_EQ(builder.descriptor().tags, (std::vector<std::string>{"$builtin", "async", "plugin", "extra"}));
}

TEST(BindingRegistryTest, EnumeratorsOverwriteByNameAndValueLookupTakesTheFirstName) {
    BindingRegistry registry;
    registry.beginType(4, "Colour", bindingTypeIdOf<Colour>(), true)
        .addEnumerator("Scarlet", 1, "")
        .addEnumerator("Crimson", 1, "")
        .addEnumerator("Blue", 2, "old")
        .addEnumerator("Blue", 3, "new");

    const BindingTypeDescriptor* descriptor = registry.findType(bindingTypeIdOf<Colour>());
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(descriptor->enumerators.size(), 3u);
    EXPECT_EQ(descriptor->enumeratorNamed("Blue")->value, 3);
    EXPECT_EQ(descriptor->enumeratorNamed("Blue")->description, "new");
    EXPECT_EQ(descriptor->enumeratorNamed("Blue")->owner, descriptor);
    EXPECT_EQ(descriptor->enumeratorNamed("blue"), nullptr);

    EXPECT_EQ(registry.enumeratorName(&bindingTypeIdOf<Colour>(), 1), "Crimson");
    EXPECT_EQ(registry.enumeratorName(&bindingTypeIdOf<Colour>(), 3), "Blue");
    EXPECT_EQ(registry.enumeratorName(&bindingTypeIdOf<Colour>(), 2), std::nullopt);
    EXPECT_EQ(registry.enumeratorName(&bindingTypeIdOf<Plain>(), 1), std::nullopt);
    EXPECT_EQ(registry.enumeratorName(nullptr, 1), std::nullopt);
}

class CountingInvoker final : public BindingInvoker {
  public:
    explicit CountingInvoker(int& destroyed) : destroyed_(destroyed) {}
    ~CountingInvoker() override { ++destroyed_; }

  private:
    int& destroyed_;
};

std::unique_ptr<BindingFunction> makeFunction(std::string name, int& destroyed) {
    auto function = std::make_unique<BindingFunction>();
    function->name = std::move(name);
    function->invoker = std::make_unique<CountingInvoker>(destroyed);
    return function;
}

TEST(BindingRegistryTest, FunctionsMoveTheChangeCounterAndDieWithTheirInvokers) {
    BindingRegistry registry;
    int destroyed = 0;
    const auto listed = registry.registerFunction(makeFunction("GetA", destroyed));
    ASSERT_TRUE(listed.created);
    EXPECT_EQ(registry.changeCount(), 1u);
    EXPECT_EQ(registry.findFunction("GetA"), listed.function);

    const auto unlisted = registry.registerFunction(makeFunction("Hidden", destroyed), true);
    EXPECT_TRUE(unlisted.created);
    EXPECT_EQ(registry.changeCount(), 1u);
    EXPECT_EQ(registry.findFunction("Hidden"), nullptr);
    EXPECT_EQ(listedCounts(registry).functions, 1u);

    // A second listed function of the same name does not replace the live one.
    const auto repeated = registry.registerFunction(makeFunction("GetA", destroyed));
    EXPECT_FALSE(repeated.created);
    EXPECT_EQ(repeated.function, listed.function);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(registry.changeCount(), 1u);

    registry.unregisterFunction(listed.function);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(registry.changeCount(), 2u);
    EXPECT_EQ(registry.findFunction("GetA"), nullptr);

    registry.unregisterFunction(listed.function); // already gone: ignored
    EXPECT_EQ(registry.changeCount(), 2u);

    registry.unregisterFunction(unlisted.function);
    EXPECT_EQ(destroyed, 3);
}

TEST(BindingRegistryTest, RegistrationAndLookupsFromSeveralThreads) {
    int destroyed = 0; // counted when the registry is destroyed, on this thread
    BindingRegistry registry;
    registry.beginType(1, "Plain", bindingTypeIdOf<Plain>(), false);
    constexpr int kThreads = 4;
    constexpr int kFunctionsPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&registry, &destroyed, t] {
            for (int i = 0; i < kFunctionsPerThread; ++i) {
                const std::string name = "F" + std::to_string(t) + "_" + std::to_string(i);
                EXPECT_TRUE(registry.registerFunction(makeFunction(name, destroyed)).created);
                EXPECT_NE(registry.findType(bindingTypeIdOf<Plain>()), nullptr);
                EXPECT_NE(listedCounts(registry).functions, 0u);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(registry.changeCount(), static_cast<std::uint32_t>(kThreads * kFunctionsPerThread));
    EXPECT_EQ(listedCounts(registry).functions, static_cast<std::size_t>(kThreads * kFunctionsPerThread));
    EXPECT_EQ(registry.findFunction("F3_199")->name, "F3_199");
}

TEST(BindingRegistryTest, EventsAreInertOnARepeatedNameAndCanBeRemoved) {
    BindingRegistry registry;
    const auto& payload = registry.beginType(1, "Plain", bindingTypeIdOf<Plain>(), false).descriptor();
    registry.beginEvent("OnThing", &payload).setDescription("first").addTags("x", "", "y");
    BindingEventBuilder again = registry.beginEvent("OnThing", nullptr);
    EXPECT_TRUE(again.alreadyRegistered());
    again.setDescription("second").addTags("z");

    const BindingEvent* event = registry.findEvent("OnThing");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->payload, &payload);
    EXPECT_EQ(event->description, "first");
    EXPECT_EQ(event->tags, (std::vector<std::string>{"x", "y"}));

    EXPECT_TRUE(registry.removeEvent("OnThing"));
    EXPECT_FALSE(registry.removeEvent("OnThing"));
    EXPECT_EQ(registry.findEvent("OnThing"), nullptr);
}

TEST(BindingRegistryTest, ClearEmptiesOnlyAnInitialisedRegistry) {
    BindingRegistry registry;
    int destroyed = 0;
    registry.beginType(1, "Plain", bindingTypeIdOf<Plain>(), false);
    registry.beginEvent("OnThing", nullptr);
    ASSERT_TRUE(registry.registerFunction(makeFunction("GetA", destroyed)).created);

    registry.clear();
    EXPECT_NE(registry.findTypeByName("Plain"), nullptr);

    registry.markInitialized();
    registry.clear();
    EXPECT_FALSE(registry.isInitialized());
    EXPECT_EQ(registry.findTypeByName("Plain"), nullptr);
    EXPECT_EQ(registry.findType(bindingTypeIdOf<Plain>()), nullptr);
    EXPECT_EQ(registry.findEvent("OnThing"), nullptr);
    EXPECT_EQ(registry.findFunction("GetA"), nullptr);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(listedCounts(registry).types, 0u);
    EXPECT_EQ(listedCounts(registry).events, 0u);
}

} // namespace
} // namespace kiv
