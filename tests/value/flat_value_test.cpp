#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace kiv {
namespace {

// An enum lookup that knows one type with the enumerators 1 "One" and 2 "Two".
struct FakeEnums final : EnumNameLookup {
    std::optional<std::string_view> enumeratorName(const BindingTypeId* type,
                                                   std::int32_t value) const override {
        if (type != knownType) {
            return std::nullopt;
        }
        if (value == 1) {
            return "One";
        }
        if (value == 2) {
            return "Two";
        }
        return std::nullopt;
    }
    const BindingTypeId* knownType = reinterpret_cast<const BindingTypeId*>(this);
};

FlatValue memberValue(const FlatValue& structure, std::uint32_t index) {
    FlatValue value;
    std::memcpy(&value, &reinterpret_cast<const FlatStructureMember*>(structure.a)[index].value,
                sizeof value);
    return value;
}

const char* memberKey(const FlatValue& structure, std::uint32_t index) {
    return reinterpret_cast<const FlatStructureMember*>(structure.a)[index].key;
}

TEST(FlatKindTest, Names) {
    const char* names[] = {"",       "bool", "signed", "unsigned",   "float",     "string",
                           "string", "blob", "blob",   "collection", "structure", ""};
    for (std::uint32_t kind = 0; kind < 12; ++kind) {
        EXPECT_EQ(flatKindName(kind), names[kind]) << kind;
    }
}

TEST(FlatValueTest, ScalarsSplitIntoLowAndHighWords) {
    FlatValue flat{};
    setFlatSigned(flat, -2);
    EXPECT_EQ(flat.kind, 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(flat.a), 0xFFFFFFFEu);
    EXPECT_EQ(flat.b, 0xFFFFFFFFu);
    EXPECT_EQ(flatSigned(flat), -2);

    setFlatUnsigned(flat, 0x0123456789ABCDEFull);
    EXPECT_EQ(static_cast<std::uint32_t>(flat.a), 0x89ABCDEFu);
    EXPECT_EQ(flat.b, 0x01234567u);

    setFlatFloat(flat, -1.5);
    EXPECT_EQ(flat.kind, 4u);
    EXPECT_EQ(flatFloat(flat), -1.5);

    setFlatBool(flat, true);
    EXPECT_EQ(flat.kind, 1u);
    EXPECT_EQ(std::uintptr_t{flat.a}, 1u);
    releaseFlat(flat);
    EXPECT_EQ(flat.kind, 0u);
    EXPECT_EQ(std::uintptr_t{flat.a}, 0u);
    EXPECT_EQ(flat.b, 0u);
}

TEST(FlatValueTest, OwnedStringsAndBlobsAreCopies) {
    std::string text = "copied";
    FlatValue flat{};
    setFlatString(flat, text);
    text[0] = 'X';
    EXPECT_EQ(flat.kind, 6u);
    EXPECT_STREQ(reinterpret_cast<const char*>(flat.a), "copied");
    EXPECT_EQ(flat.b, 6u);
    const std::uint8_t bytes[] = {0, 1, 2};
    setFlatBlob(flat, bytes);
    EXPECT_EQ(flat.kind, 8u);
    EXPECT_EQ(flat.b, 3u);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(flat.a), bytes, 3), 0);
    releaseFlat(flat);
}

TEST(FlatConversionTest, GenericToFlatAndBack) {
    FakeEnums enums;
    Value source;
    source.member("b").setBool(true);
    source.member("a").element(0).setSigned(-7);
    source.member("a").element(1).setFloat(0.5);
    source.member("a").element(2); // Empty
    source.member("s").setString("text");
    source.member("u").setUnsigned(UINT64_MAX);
    source.member("blob").setBlob(std::vector<std::uint8_t>{5, 6});

    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(source, flat, &enums));
    ASSERT_EQ(flat.kind, 10u);
    ASSERT_EQ(flat.b, 5u);
    EXPECT_STREQ(memberKey(flat, 0), "a") << "members in key order";
    EXPECT_STREQ(memberKey(flat, 1), "b");
    EXPECT_STREQ(memberKey(flat, 2), "blob");
    EXPECT_EQ(reinterpret_cast<const FlatStructureMember*>(flat.a)[0].keyOwned, 1);
    const FlatValue array = memberValue(flat, 0);
    ASSERT_EQ(array.kind, 9u);
    ASSERT_EQ(array.b, 3u);
    EXPECT_EQ(reinterpret_cast<const FlatValue*>(array.a)[2].kind, 0u);
    EXPECT_EQ(memberValue(flat, 3).kind, 6u);

    Value back;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(flat, back, "x", result));
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(back["b"].getBool(false));
    EXPECT_EQ(back["a"][0].getSigned(0), -7);
    EXPECT_EQ(back["a"][1].getFloat(0), 0.5);
    EXPECT_EQ(back["a"].size(), 3u);
    EXPECT_EQ(back["s"].getString(""), "text");
    EXPECT_EQ(back["u"].getUnsigned(0), UINT64_MAX);
    EXPECT_EQ(back["blob"].size(), 2u);
    releaseFlat(flat);
}

TEST(FlatConversionTest, EnumsBecomeNamesWhenKnown) {
    FakeEnums enums;
    Value value;
    value.element(0).setEnum({2, enums.knownType});
    value.element(1).setEnum({7, enums.knownType});
    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(value, flat, &enums));
    const auto* elements = reinterpret_cast<const FlatValue*>(flat.a);
    EXPECT_EQ(elements[0].kind, 6u);
    EXPECT_STREQ(reinterpret_cast<const char*>(elements[0].a), "Two");
    EXPECT_EQ(elements[1].kind, 2u);
    EXPECT_EQ(flatSigned(elements[1]), 7);
    releaseFlat(flat);

    ASSERT_TRUE(valueToFlat(value, flat, nullptr));
    EXPECT_EQ(reinterpret_cast<const FlatValue*>(flat.a)[0].kind, 2u) << "no registry: the number";
    releaseFlat(flat);
}

// A text ends at its terminator or at its length word, whichever comes first; the buffers have
// no byte past the ones given, so a read beyond them shows under AddressSanitizer.
TEST(FlatConversionTest, StringsEndAtTheTerminatorOrTheLength) {
    struct Case {
        std::string bytes;
        std::uint32_t length;
        const char* expected;
    };
    const Case cases[] = {
        {std::string("abc\0", 4), 3, "abc"},    // well formed
        {std::string("abc\0def", 7), 7, "abc"}, // an embedded terminator ends the text
        {std::string("abc", 3), 3, "abc"},      // no terminator
        {std::string("abcdef", 6), 2, "ab"},    // no terminator, a shorter length word
        {std::string("", 0), 0, ""},
    };
    for (const Case& c : cases) {
        for (std::uint32_t kind : {KIV_FLAT_STRING_BORROWED, KIV_FLAT_STRING_OWNED}) {
            const auto buffer = std::make_unique<char[]>(c.bytes.size());
            std::memcpy(buffer.get(), c.bytes.data(), c.bytes.size());
            FlatValue flat{kind, reinterpret_cast<std::uintptr_t>(buffer.get()), c.length};
            Value target;
            FlatResult result{};
            ASSERT_TRUE(flatToValue(flat, target, "x", result));
            EXPECT_EQ(target.getString("?"), c.expected) << c.expected << " of length " << c.length;
        }
    }
}

TEST(FlatConversionTest, RepeatedKeysReuseTheMemberInArrayOrder) {
    FlatStructureMember members[2] = {};
    members[0].key = "k";
    members[1].key = "k";
    FlatValue first{}, second{};
    setFlatSigned(first, 1);
    setFlatSigned(second, 2);
    std::memcpy(&members[0].value, &first, sizeof first);
    std::memcpy(&members[1].value, &second, sizeof second);
    FlatValue flat{KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(members), 2};
    Value target;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(flat, target, "x", result));
    EXPECT_EQ(target.size(), 1u);
    EXPECT_EQ(target["k"].getSigned(0), 2);
}

// One name text under three members: the member that first holds it is replaced by a later
// one before the third uses the name again, so the name's pooled record must outlive the value
// that first held it.
TEST(FlatConversionTest, ANameOutlivesTheValueThatFirstHeldIt) {
    static const char kShared[] = "shared";
    FlatStructureMember inner[2] = {};
    inner[0].key = kShared;
    inner[1].key = kShared;
    FlatValue one{}, two{};
    setFlatSigned(one, 1);
    setFlatSigned(two, 2);
    std::memcpy(&inner[0].value, &one, sizeof one);
    std::memcpy(&inner[1].value, &two, sizeof two);
    FlatStructureMember outer[3] = {};
    outer[0].key = "a";
    outer[1].key = "a";
    outer[2].key = "b";
    const FlatValue first{KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(&inner[0]), 1};
    const FlatValue third{KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(&inner[1]), 1};
    std::memcpy(&outer[0].value, &first, sizeof first);
    std::memcpy(&outer[1].value, &one, sizeof one);
    std::memcpy(&outer[2].value, &third, sizeof third);
    const FlatValue flat{KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(outer), 3};
    Value target;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(flat, target, "x", result));
    EXPECT_EQ(target["a"].getSigned(0), 1);
    EXPECT_EQ(target["b"]["shared"].getSigned(0), 2);
}

TEST(FlatConversionTest, UnknownKindFailsWithTheIncompatibleTypeMessage) {
    FlatValue flat{11, 0, 0};
    Value target;
    FlatResult result{};
    EXPECT_FALSE(flatToValue(flat, target, "x", result));
    EXPECT_EQ(result.failed, 1);
    ASSERT_NE(result.error, nullptr);
    EXPECT_STREQ(
        result.error,
        "Couldn't assign value to 'x' of type object because the input is of an incompatible type ''.");
    releaseFlat(result);
    EXPECT_EQ(result.error, nullptr);
}

TEST(FlatConversionTest, FailureInsideAChildStopsTheConversion) {
    FlatValue elements[2] = {};
    setFlatSigned(elements[0], 1);
    elements[1].kind = 42;
    FlatValue flat{KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(elements), 2};
    Value target;
    FlatResult result{};
    EXPECT_FALSE(flatToValue(flat, target, "payload", result));
    EXPECT_STREQ(result.error, "Couldn't assign value to 'payload' of type object because the input is of an "
                               "incompatible type ''.");
    releaseFlat(result);
}

TEST(FlatConversionTest, NullPointersReadAsEmpty) {
    FlatValue text{KIV_FLAT_STRING_BORROWED, 0, 5};
    FlatValue list{KIV_FLAT_COLLECTION, 0, 3};
    Value target;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(text, target, "x", result));
    EXPECT_EQ(target.getString("?"), "");
    ASSERT_TRUE(flatToValue(list, target, "x", result));
    EXPECT_EQ(target.kind(), ValueKind::Collection);
    EXPECT_EQ(target.size(), 0u);
}

TEST(FlatConversionTest, MillionLevelsDeepBothWays) {
    constexpr int depth = KIV_TEST_DEEP_NESTING;
    Value source;
    Value* node = &source;
    for (int i = 0; i < depth; ++i) {
        node = &node->member("n");
    }
    node->setSigned(42);

    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(source, flat, nullptr));
    Value back;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(flat, back, "deep", result));
    const Value* cursor = &back;
    for (int i = 0; i < depth; ++i) {
        cursor = &(*cursor)["n"];
    }
    EXPECT_EQ(cursor->getSigned(0), 42);
    releaseFlat(flat);
    EXPECT_EQ(flat.kind, 0u);
}

} // namespace
} // namespace kiv

namespace kiv {
namespace {

FlatValue collectionOf(const FlatValue* elements, std::uint32_t count) {
    return {KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(elements), count};
}

// `levels` collections of one element, each holding the next; the last holds the one at `back`.
FlatValue chainBackTo(std::vector<FlatValue>& storage, std::size_t levels, std::size_t back) {
    storage.resize(levels);
    for (std::size_t level = 0; level + 1 < levels; ++level) {
        storage[level] = collectionOf(&storage[level + 1], 1);
    }
    storage[levels - 1] = collectionOf(&storage[back], 1);
    return collectionOf(storage.data(), 1);
}

// Hostile records: arrays that contain themselves, sharing that names more values or bytes than
// one conversion may create, counts beyond the array. Each builds its arrays in `storage`.
struct HostileCase {
    const char* label;
    FlatValue (*build)(std::vector<FlatValue>& storage, std::vector<FlatStructureMember>& members);
    const char* message;
};

const HostileCase kHostileCases[] = {
    {"a collection whose element is itself",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         storage.resize(1);
         storage[0] = collectionOf(storage.data(), 1);
         return storage[0];
     },
     "Couldn't assign value to 'x' of type object because the input contains itself."},
    {"two collections that hold each other",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         storage.resize(3);
         setFlatSigned(storage[0], 1);
         storage[1] = collectionOf(&storage[2], 1);
         storage[2] = collectionOf(&storage[0], 2);
         return storage[2];
     },
     "Couldn't assign value to 'x' of type object because the input contains itself."},
    {"a structure whose member is itself",
     [](std::vector<FlatValue>&, std::vector<FlatStructureMember>& members) {
         members.resize(1);
         members[0].key = "self";
         const FlatValue self{KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(members.data()), 1};
         std::memcpy(&members[0].value, &self, sizeof self);
         return self;
     },
     "Couldn't assign value to 'x' of type object because the input contains itself."},
    // Far down, the arrays on the path are looked up in a set rather than searched in place.
    {"a collection forty levels down that holds the one twenty levels up",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         return chainBackTo(storage, 40, 20);
     },
     "Couldn't assign value to 'x' of type object because the input contains itself."},
    {"a collection forty levels down that holds the one two levels up",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         return chainBackTo(storage, 40, 2);
     },
     "Couldn't assign value to 'x' of type object because the input contains itself."},
    {"thirty levels that each point twice at the next (732 bytes, 2^31 values)",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         storage.resize(60);
         setFlatSigned(storage[58], 0);
         setFlatSigned(storage[59], 0);
         for (std::size_t level = 29; level-- > 0;) {
             storage[2 * level] = storage[2 * level + 1] = collectionOf(&storage[2 * level + 2], 2);
         }
         return collectionOf(storage.data(), 2);
     },
     "Couldn't assign value to 'x' of type object because the input holds more than 4194304 values."},
    {"a count far beyond the array",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         storage.resize(1);
         return collectionOf(storage.data(), 0x10000000u); // the count is checked before a record is read
     },
     "Couldn't assign value to 'x' of type object because the input holds more than 4194304 values."},
    {"one text of 1 MiB shared by 300 elements",
     [](std::vector<FlatValue>& storage, std::vector<FlatStructureMember>&) {
         static const std::string text(1024 * 1024, 't');
         storage.assign(300,
                        FlatValue{KIV_FLAT_STRING_BORROWED, reinterpret_cast<std::uintptr_t>(text.c_str()),
                                  static_cast<std::uint32_t>(text.size())});
         return collectionOf(storage.data(), 300);
     },
     "Couldn't assign value to 'x' of type object because the input holds more than 268435456 bytes of text "
     "and blobs."},
};

TEST(FlatConversionTest, HostileRecordsFailWithTheirReason) {
    for (const HostileCase& c : kHostileCases) {
        std::vector<FlatValue> storage;
        std::vector<FlatStructureMember> members;
        const FlatValue flat = c.build(storage, members);
        Value target;
        FlatResult result{};
        EXPECT_FALSE(flatToValue(flat, target, "x", result)) << c.label;
        EXPECT_EQ(result.failed, 1) << c.label;
        EXPECT_STREQ(result.error, c.message) << c.label;
        releaseFlat(result);
    }
}

// Sharing an array is not containing it: a record that names a subtree twice converts it twice.
// Twenty levels reach past the part of the path searched in place.
class SharedArraysTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SharedArraysTest, WithinTheBoundsConvert) {
    const std::size_t kLevels = GetParam();
    std::vector<FlatValue> storage(2 * kLevels);
    setFlatString(storage[2 * kLevels - 2], "leaf");
    setFlatSigned(storage[2 * kLevels - 1], 7);
    for (std::size_t level = kLevels - 1; level-- > 0;) {
        storage[2 * level] = storage[2 * level + 1] = collectionOf(&storage[2 * level + 2], 2);
    }
    Value target;
    FlatResult result{};
    ASSERT_TRUE(flatToValue(collectionOf(storage.data(), 2), target, "x", result));
    const Value* node = &target;
    for (std::size_t level = 0; level + 1 < kLevels; ++level) {
        ASSERT_EQ(node->size(), 2u);
        node = &(*node)[level % 2];
    }
    EXPECT_EQ((*node)[0].getString(""), "leaf");
    EXPECT_EQ((*node)[1].getSigned(0), 7);
    releaseFlat(storage[2 * kLevels - 2]);
}

INSTANTIATE_TEST_SUITE_P(Levels, SharedArraysTest, ::testing::Values(12, 20));

} // namespace
} // namespace kiv
