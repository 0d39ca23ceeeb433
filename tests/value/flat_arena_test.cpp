// Record sets built in one arena against sets built record by record through the setters, the
// way every set was built before: the same kinds, counts, texts, terminators and key flags, and
// releaseFlat frees either kind of set.
#include "value/flat_arena.h"
#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

namespace kiv {
namespace {

struct OneEnum final : EnumNameLookup {
    std::optional<std::string_view> enumeratorName(const BindingTypeId* type,
                                                   std::int32_t value) const override {
        return type == knownType && value == 3 ? std::optional<std::string_view>("Three") : std::nullopt;
    }
    const BindingTypeId* knownType = reinterpret_cast<const BindingTypeId*>(this);
};

FlatValue loadFlat(const void* record) {
    FlatValue flat;
    std::memcpy(&flat, record, sizeof flat);
    return flat;
}

void storeFlat(void* record, const FlatValue& flat) {
    std::memcpy(record, &flat, sizeof flat);
}

// The oracle: the set built record by record with the setters.
void buildPiecewise(const Value& value, FlatValue& flat, const EnumNameLookup& enums) {
    switch (value.kind()) {
    case ValueKind::Bool:
        setFlatBool(flat, value.getBool(false));
        break;
    case ValueKind::Signed:
        setFlatSigned(flat, value.getSigned(0));
        break;
    case ValueKind::Unsigned:
        setFlatUnsigned(flat, value.getUnsigned(0));
        break;
    case ValueKind::Float:
        setFlatFloat(flat, value.getFloat(0));
        break;
    case ValueKind::String:
        setFlatString(flat, value.getString({}));
        break;
    case ValueKind::Blob:
        setFlatBlob(flat, value.getBlob({}));
        break;
    case ValueKind::Enum: {
        const EnumValue e = value.getEnum({});
        if (const auto name = enums.enumeratorName(e.type, e.value)) {
            setFlatString(flat, *name);
        } else {
            setFlatSigned(flat, e.value);
        }
        break;
    }
    case ValueKind::Collection: {
        const auto count = static_cast<std::uint32_t>(value.size());
        FlatValue* elements = allocateFlatArray(count);
        setFlatCollection(flat, elements, count);
        for (std::uint32_t i = 0; i < count; ++i) {
            buildPiecewise(value[i], elements[i], enums);
        }
        break;
    }
    case ValueKind::Structure: {
        const auto count = static_cast<std::uint32_t>(value.size());
        FlatStructureMember* members = allocateFlatMembers(count);
        setFlatStructure(flat, members, count);
        std::uint32_t i = 0;
        for (const ValueMember member : value.members()) {
            auto* key = new char[member.key.size() + 1];
            std::memcpy(key, member.key.data(), member.key.size());
            key[member.key.size()] = '\0';
            members[i].key = key;
            members[i].keyOwned = 1;
            FlatValue child{};
            buildPiecewise(member.value, child, enums);
            storeFlat(&members[i].value, child);
            ++i;
        }
        break;
    }
    case ValueKind::Empty:
        break;
    }
}

// The first difference between two sets, or "" when they read the same.
std::string difference(const FlatValue& a, const FlatValue& b, const std::string& at = "top") {
    if (a.kind != b.kind || a.b != b.b) {
        return at + ": kind or count differs";
    }
    const bool storage = a.kind >= KIV_FLAT_STRING_OWNED && a.kind <= KIV_FLAT_STRUCTURE;
    if (!storage) {
        return a.a == b.a ? "" : at + ": payload differs";
    }
    if ((a.a == 0) != (b.a == 0)) {
        return at + ": one pointer is null";
    }
    const auto* left = reinterpret_cast<const char*>(a.a);
    const auto* right = reinterpret_cast<const char*>(b.a);
    switch (a.kind) {
    case KIV_FLAT_STRING_OWNED:
        return std::memcmp(left, right, a.b + 1) == 0 ? "" : at + ": text or terminator differs";
    case KIV_FLAT_BLOB_OWNED:
        return std::memcmp(left, right, a.b) == 0 ? "" : at + ": bytes differ";
    case KIV_FLAT_COLLECTION:
        for (std::uint32_t i = 0; i < a.b; ++i) {
            const std::string d =
                difference(loadFlat(left + i * sizeof(FlatValue)), loadFlat(right + i * sizeof(FlatValue)),
                           at + "[" + std::to_string(i) + "]");
            if (!d.empty()) {
                return d;
            }
        }
        return "";
    default:
        for (std::uint32_t i = 0; i < a.b; ++i) {
            FlatStructureMember l, r;
            std::memcpy(&l, left + i * sizeof l, sizeof l);
            std::memcpy(&r, right + i * sizeof r, sizeof r);
            if (std::strcmp(l.key, r.key) != 0 || l.keyOwned != r.keyOwned) {
                return at + ": member " + std::to_string(i) + " key differs";
            }
            const std::string d = difference(
                loadFlat(left + i * sizeof l + offsetof(FlatStructureMember, value)),
                loadFlat(right + i * sizeof r + offsetof(FlatStructureMember, value)), at + "." + l.key);
            if (!d.empty()) {
                return d;
            }
        }
        return "";
    }
}

struct TreeCase {
    const char* name;
    std::function<void(Value&, const OneEnum&)> build;
};

const TreeCase kTrees[] = {
    {"empty", [](Value&, const OneEnum&) {}},
    {"scalar", [](Value& v, const OneEnum&) { v.setFloat(-2.5); }},
    {"string", [](Value& v, const OneEnum&) { v.setString("top text"); }},
    {"empty string", [](Value& v, const OneEnum&) { v.setString(""); }},
    {"named enum",
     [](Value& v, const OneEnum& e) {
         v.setEnum({3, e.knownType});
     }},
    {"empty blob", [](Value& v, const OneEnum&) { v.setBlob(std::vector<std::uint8_t>{}); }},
    {"empty collection", [](Value& v, const OneEnum&) { v.makeCollection(); }},
    {"empty structure", [](Value& v, const OneEnum&) { v.makeStructure(); }},
    {"list of objects",
     [](Value& v, const OneEnum&) {
         for (int i = 0; i < 40; ++i) {
             v.element(i).member("id").setSigned(i);
             v.element(i).member("name").setString("queue " + std::to_string(i));
         }
     }},
    {"mixed",
     [](Value& v, const OneEnum& e) {
         v.member("z").setBlob(std::vector<std::uint8_t>{0, 1, 2});
         v.member("a").element(2).setEnum({3, e.knownType});
         v.member("a").element(1).setEnum({4, e.knownType});
         v.member("a").element(3).makeStructure();
         v.member("a").element(4).makeCollection();
         v.member("s").setString(std::string("nul\0inside", 10));
         v.member("n").member("deeper").member("deepest").setUnsigned(UINT64_MAX);
         v.member("").setBool(true);
     }},
};

class FlatArenaTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(FlatArenaTest, ReadsAsTheSetBuiltRecordByRecord) {
    const OneEnum enums;
    Value tree;
    GetParam().build(tree, enums);
    FlatValue arena{}, piecewise{};
    ASSERT_TRUE(valueToFlat(tree, arena, &enums));
    buildPiecewise(tree, piecewise, enums);
    EXPECT_EQ(difference(arena, piecewise), "");

    // Either set goes through the same release; only the arena's first block is an arena.
    const bool holdsStorage = arena.a != 0 && arena.kind >= KIV_FLAT_STRING_OWNED;
    EXPECT_FALSE(holdsStorage && releaseFlatArena(reinterpret_cast<const void*>(piecewise.a)));
    releaseFlat(piecewise);
    releaseFlat(arena);
    EXPECT_EQ(arena.kind, 0u);
    EXPECT_EQ(arena.a, 0u);
}

INSTANTIATE_TEST_SUITE_P(Trees, FlatArenaTest, ::testing::ValuesIn(kTrees), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        c = c == ' ' ? '_' : c;
    }
    return name;
});

// A set built over one that holds records releases the old set first, whichever way it was built.
TEST(FlatArenaTest, BuildingOverASetReleasesIt) {
    Value tree;
    tree.element(1).setString("x");
    FlatValue flat{};
    setFlatString(flat, "built by the setter");
    ASSERT_TRUE(valueToFlat(tree, flat, nullptr));
    ASSERT_TRUE(valueToFlat(tree, flat, nullptr));
    EXPECT_EQ(flat.kind, KIV_FLAT_COLLECTION);
    releaseFlat(flat);
}

} // namespace
} // namespace kiv
