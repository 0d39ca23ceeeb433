// The direct writer against its oracle: the records valueToFlat writes of the tree convertNative
// makes, compared record by record over many generated structures that use every member kind,
// left-out members, repeated member names and names out of byte order.
#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"
#include "value/flat_record.h"
#include "value/flat_value.h"
#include "volume_counts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kiv::native_flat_writing_test {
namespace {

enum class Mood : std::int32_t { Calm = 1, Busy = 2, Gone = 7 };

struct Leaf {
    std::uint8_t small = 0;
    std::int16_t shortNumber = 0;
    float single = 0;
    Mood mood{};
    std::string text;
};

struct Sheet {
    bool flag = false;
    std::int64_t wide = 0;
    std::uint64_t huge = 0;
    double real = 0;
    std::string label;
    std::vector<std::uint8_t> bytes;
    Mood mood{};
    Leaf leaf;
    std::vector<Leaf> leaves;
    std::map<std::string, Leaf> byName;
    std::vector<std::int32_t> numbers;
    Value data;
    std::int32_t twinA = 0; // the two twins share one member name
    std::string twinB;
    Leaf maybeLeaf;
};

struct Tree {
    std::int32_t id = 0;
    std::vector<Tree> children;
};

// Scalars only: an answer sized from its type.
struct Status {
    std::int32_t id = 0;
    bool disabled = false;
    double ratio = 0;
    std::uint64_t big = 0;
};

struct Unregistered {
    std::int32_t a = 0;
};

std::string textOf(const FlatValue& flat) {
    return std::string(reinterpret_cast<const char*>(flat.a), flat.b + 1); // with the terminator
}

// Record by record, with an explicit stack so that deep sets compare too; the first difference.
std::string firstDifference(const FlatValue& expected, const FlatValue& actual) {
    std::vector<std::pair<FlatValue, FlatValue>> pending{{expected, actual}};
    while (!pending.empty()) {
        const auto [e, a] = pending.back();
        pending.pop_back();
        if (e.kind != a.kind) {
            return "kind " + std::to_string(e.kind) + " vs " + std::to_string(a.kind);
        }
        switch (e.kind) {
        case KIV_FLAT_STRING_OWNED:
        case KIV_FLAT_BLOB_OWNED:
            if (e.b != a.b || (e.b != 0 && std::memcmp(reinterpret_cast<const void*>(e.a),
                                                       reinterpret_cast<const void*>(a.a), e.b) != 0)) {
                return "bytes differ";
            }
            if (e.kind == KIV_FLAT_STRING_OWNED && textOf(e) != textOf(a)) {
                return "terminator differs";
            }
            break;
        case KIV_FLAT_COLLECTION:
        case KIV_FLAT_STRUCTURE:
            if (e.b != a.b) {
                return "count " + std::to_string(e.b) + " vs " + std::to_string(a.b);
            }
            for (std::uint32_t i = 0; i < e.b; ++i) {
                if (e.kind == KIV_FLAT_COLLECTION) {
                    pending.push_back({reinterpret_cast<const FlatValue*>(e.a)[i],
                                       reinterpret_cast<const FlatValue*>(a.a)[i]});
                    continue;
                }
                FlatStructureMember em, am;
                std::memcpy(&em, reinterpret_cast<const FlatStructureMember*>(e.a) + i, sizeof em);
                std::memcpy(&am, reinterpret_cast<const FlatStructureMember*>(a.a) + i, sizeof am);
                if (std::strcmp(em.key, am.key) != 0 || em.keyOwned != am.keyOwned) {
                    return std::string("key ") + em.key + " vs " + am.key;
                }
                pending.push_back({em.value, am.value});
            }
            break;
        default:
            if (e.a != a.a || e.b != a.b) {
                return "payload differs";
            }
        }
    }
    return "";
}

class NativeFlatWritingTest : public ::testing::Test {
  protected:
    NativeFlatWritingTest() {
        constexpr auto omit = BindingFieldFlags::OmitWhenEmpty;
        declareEnum<Mood>(registry, {"Mood"}, {{"Calm", Mood::Calm}, {"Busy", Mood::Busy}});
        declareStruct<Leaf>(registry, {"Leaf"},
                            {{"small", &Leaf::small},
                             {"short", &Leaf::shortNumber, "", omit},
                             {"single", &Leaf::single, "", omit},
                             {"mood", &Leaf::mood, "", omit},
                             {"text", &Leaf::text, "", omit}});
        // Declared out of name order, with names that sort by unsigned bytes.
        declareStruct<Sheet>(registry, {"Sheet"},
                             {{"zeta", &Sheet::flag, "", omit},
                              {"\xC3\xA9t\xC3\xA9", &Sheet::wide},
                              {"Huge", &Sheet::huge, "", omit},
                              {"real", &Sheet::real, "", omit},
                              {"label", &Sheet::label},
                              {"bytes", &Sheet::bytes, "", omit},
                              {"mood", &Sheet::mood},
                              {"leaf", &Sheet::leaf},
                              {"leaves", &Sheet::leaves, "", omit},
                              {"byName", &Sheet::byName, "", omit},
                              {"numbers", &Sheet::numbers},
                              {"data", &Sheet::data, "", omit},
                              {"twin", &Sheet::twinA},
                              {"twin", &Sheet::twinB, "", omit},
                              {"maybeLeaf", &Sheet::maybeLeaf, "", omit}});
        declareStruct<Status>(registry, {"Status"},
                              {{"queueId", &Status::id},
                               {"isDisabled", &Status::disabled},
                               {"ratio", &Status::ratio},
                               {"Big", &Status::big}});
        declareStruct<Tree>(registry, {"Tree"}, {{"id", &Tree::id}, {"children", &Tree::children, "", omit}});
    }

    // The oracle's records and the direct writer's, or the failure texts of each.
    template <class T> std::pair<FlatResult, FlatResult> writeBothWays(const T& native) {
        FlatResult viaTree{};
        ConversionResult converted;
        convertNative(converted, native, registry);
        if (!converted.ok()) {
            setFlatError(viaTree, converted.errorText());
        } else {
            EXPECT_TRUE(valueToFlat(converted.value(), viaTree.value, &registry));
        }
        FlatResult direct{};
        ConversionResult written;
        writeNative(written, native, registry, direct.value);
        if (!written.ok()) {
            setFlatError(direct, written.errorText());
        }
        return {viaTree, direct};
    }

    template <class T> void expectSameRecords(const T& native, const std::string& what) {
        auto [viaTree, direct] = writeBothWays(native);
        EXPECT_EQ(viaTree.failed, direct.failed) << what;
        if (viaTree.failed) {
            EXPECT_STREQ(viaTree.error, direct.error) << what;
        } else {
            EXPECT_EQ(firstDifference(viaTree.value, direct.value), "") << what;
        }
        releaseFlat(viaTree);
        releaseFlat(direct);
    }

    BindingRegistry registry;
};

class SheetMaker {
  public:
    explicit SheetMaker(std::uint32_t seed) : random_(seed) {}

    Sheet sheet() {
        Sheet sheet;
        sheet.flag = chance();
        sheet.wide = chance() ? 0 : static_cast<std::int64_t>(random_());
        sheet.huge = chance() ? 0 : (std::uint64_t{random_()} << 32 | random_());
        sheet.real = chance() ? 0.0 : chance() ? -0.0 : static_cast<double>(random_()) / 7;
        sheet.label = text();
        sheet.bytes.resize(below(3) * 3);
        sheet.mood = mood();
        sheet.leaf = leaf();
        sheet.leaves.resize(below(4));
        for (Leaf& leaf : sheet.leaves) {
            leaf = this->leaf();
        }
        for (std::uint32_t i = below(4); i > 0; --i) {
            sheet.byName[text()] = leaf();
        }
        sheet.numbers.assign(below(5), static_cast<std::int32_t>(random_()));
        sheet.data = tree();
        sheet.twinA = static_cast<std::int32_t>(below(2));
        sheet.twinB = chance() ? "" : "second";
        sheet.maybeLeaf = chance() ? Leaf{} : leaf();
        return sheet;
    }

  private:
    bool chance() { return random_() % 2 == 0; }
    std::uint32_t below(std::uint32_t bound) { return random_() % bound; }
    Mood mood() { return static_cast<Mood>(below(4)); } // 0 and 3 have no enumerator
    std::string text() {
        static const char* const texts[] = {"", "a", "B", "\xC3\xA9", "with\0nul", "queue", "zz"};
        const std::size_t index = below(7);
        return index == 4 ? std::string(texts[4], 8) : texts[index];
    }
    Leaf leaf() {
        return {static_cast<std::uint8_t>(below(3)), static_cast<std::int16_t>(below(3)),
                chance() ? 0.0f : 1.5f, mood(), text()};
    }
    // A generic member: Empty, a scalar, an enum of a registered type, or a small structure.
    Value tree() {
        Value value;
        switch (below(5)) {
        case 0:
            break;
        case 1:
            value.setString(text());
            break;
        case 2:
            value.setEnum({static_cast<std::int32_t>(below(3)), &bindingTypeIdOf<Mood>()});
            break;
        case 3:
            value.member(text()).setSigned(below(9));
            value.member("list").append().setBool(chance());
            break;
        default:
            value.makeCollection();
        }
        return value;
    }

    std::mt19937 random_;
};

TEST_F(NativeFlatWritingTest, GeneratedStructuresWriteTheRecordsOfTheirTree) {
    const std::size_t count = testing_volume::volumeCount(400, 20000);
    for (std::uint32_t seed = 0; seed < count; ++seed) {
        SheetMaker maker(seed);
        const std::vector<Sheet> sheets{maker.sheet(), maker.sheet()};
        expectSameRecords(sheets[0], "sheet of seed " + std::to_string(seed));
        expectSameRecords(sheets, "list of seed " + std::to_string(seed));
    }
}

TEST_F(NativeFlatWritingTest, RootsOfEveryKindWriteTheRecordsOfTheirTree) {
    expectSameRecords(std::int8_t{-5}, "int8");
    expectSameRecords(std::uint32_t{0xFFFFFFFF}, "uint32");
    expectSameRecords(2.5f, "float");
    expectSameRecords(true, "bool");
    expectSameRecords(std::string("with\0nul", 8), "string");
    expectSameRecords(std::vector<std::uint8_t>{}, "empty blob");
    expectSameRecords(Mood::Busy, "named enumerator");
    expectSameRecords(Mood::Gone, "unnamed enumerator");
    expectSameRecords(Value(), "empty value");
    expectSameRecords(std::map<std::string, Mood>{{"b", Mood::Calm}, {"a", Mood::Gone}}, "map");
    expectSameRecords(std::vector<Leaf>{}, "empty list");
    expectSameRecords(Status{450, true, -0.5, 1ull << 40}, "scalar structure");
    expectSameRecords(std::vector<Status>{{1, false, 0, 0}, {2, true, 1, 2}}, "scalar structures");
}

TEST_F(NativeFlatWritingTest, AnUnregisteredStructureFailsAsTheTreePathDoes) {
    expectSameRecords(Unregistered{}, "unregistered root");
    expectSameRecords(std::vector<Unregistered>{Unregistered{}}, "unregistered element");
    expectSameRecords(std::vector<Unregistered>{}, "no unregistered element");
    ConversionResult failed;
    failed.setError("earlier");
    FlatValue flat{};
    writeNative(failed, Leaf{}, registry, flat);
    EXPECT_EQ(failed.errorText(), "earlier");
    EXPECT_EQ(flat.kind, KIV_FLAT_EMPTY);
}

// Native nesting and a generic member nested far deeper are written without a deep call stack.
TEST_F(NativeFlatWritingTest, DeepStructuresWriteTheRecordsOfTheirTree) {
    Tree root;
    Tree* level = &root;
    for (std::int32_t depth = 0; depth < 2000; ++depth) {
        level->id = depth;
        level = &level->children.emplace_back();
    }
    expectSameRecords(root, "native nesting");

    Sheet sheet;
    Value* node = &sheet.data;
    for (std::size_t depth = testing_volume::volumeCount(100000, 1000000); depth > 0; --depth) {
        node = &node->member("down");
    }
    node->setString("bottom");
    expectSameRecords(sheet, "generic nesting");
}

} // namespace
} // namespace kiv::native_flat_writing_test
