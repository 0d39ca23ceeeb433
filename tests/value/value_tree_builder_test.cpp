// The tree builder that every reader feeds. Events and trees are written in one small
// notation, so a case reads as "these events give this tree":
//   {  }  start and end of a structure      k:name  key
//   [  ]  start and end of a collection     ~  null   t f  bools
//   i-5 u7 d1.5  signed, unsigned, float    "text  string   #00ff  blob
// A tree is written as the events that would build it afresh, members in key order.
#include "value/value_tree_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

std::vector<std::uint8_t> hexBytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

void feed(ValueTreeBuilder& builder, const std::string& events) {
    std::istringstream in(events);
    std::string token;
    while (in >> token) {
        const std::string rest = token.substr(1);
        switch (token[0]) {
        case '{':
            builder.startStructure();
            break;
        case '}':
            builder.endStructure();
            break;
        case '[':
            builder.startCollection();
            break;
        case ']':
            builder.endCollection();
            break;
        case 'k':
            builder.key(token.substr(2));
            break;
        case '~':
            builder.null();
            break;
        case 't':
        case 'f':
            builder.boolean(token[0] == 't');
            break;
        case 'i':
            builder.signedNumber(std::stoll(rest));
            break;
        case 'u':
            builder.unsignedNumber(std::stoull(rest));
            break;
        case 'd':
            builder.floatNumber(std::stod(rest));
            break;
        case '"':
            builder.string(rest);
            break;
        case '#':
            builder.blob(hexBytes(rest));
            break;
        default:
            ADD_FAILURE() << "unknown event " << token;
        }
    }
}

void render(const Value& node, std::string& out) {
    char buffer[32];
    switch (node.kind()) {
    case ValueKind::Empty:
        out += " ~";
        break;
    case ValueKind::Bool:
        out += node.getBool(false) ? " t" : " f";
        break;
    case ValueKind::Signed:
        out += " i" + std::to_string(node.getSigned(0));
        break;
    case ValueKind::Unsigned:
        out += " u" + std::to_string(node.getUnsigned(0));
        break;
    case ValueKind::Float:
        std::snprintf(buffer, sizeof buffer, " d%g", node.getFloat(0));
        out += buffer;
        break;
    case ValueKind::String:
        out += " \"" + std::string(node.getString(""));
        break;
    case ValueKind::Blob:
        out += " #";
        for (std::uint8_t byte : node.getBlob({})) {
            std::snprintf(buffer, sizeof buffer, "%02x", byte);
            out += buffer;
        }
        break;
    case ValueKind::Collection:
        out += " [";
        for (const Value& element : node.elements()) {
            render(element, out);
        }
        out += " ]";
        break;
    case ValueKind::Structure:
        out += " {";
        for (const ValueMember member : node.members()) {
            out += " k:" + std::string(member.key);
            render(member.value, out);
        }
        out += " }";
        break;
    default:
        out += " ?";
    }
}

std::string build(const std::string& events, RepeatedCollections rule) {
    Value root;
    ValueTreeBuilder builder(root, rule);
    feed(builder, events);
    EXPECT_EQ(builder.depth(), 0u) << events;
    std::string out;
    render(root, out);
    return out.substr(1);
}

struct BuildCase {
    const char* name;
    const char* events;
    const char* concatenated; // the tree under RepeatedCollections::Concatenate
    const char* overwritten;  // under RepeatedCollections::Overwrite
};

class ValueTreeBuilderTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(ValueTreeBuilderTest, PlacesEveryNode) {
    const BuildCase& c = GetParam();
    EXPECT_EQ(build(c.events, RepeatedCollections::Concatenate), c.concatenated);
    EXPECT_EQ(build(c.events, RepeatedCollections::Overwrite), c.overwritten);
}

constexpr const char* kSame = nullptr; // the tree is the events themselves

std::vector<BuildCase> withSameFilledIn(std::vector<BuildCase> cases) {
    for (BuildCase& c : cases) {
        if (c.concatenated == kSame) {
            c.concatenated = c.events;
        }
        if (c.overwritten == kSame) {
            c.overwritten = c.concatenated;
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Events, ValueTreeBuilderTest,
    ::testing::ValuesIn(withSameFilledIn({
        {"scalar_root", "i-5", kSame, kSame},
        {"every_scalar_in_a_collection", "[ ~ t f i-5 u7 d1.5 \"s #00ff ]", kSame, kSame},
        {"empty_containers", "{ k:a [ ] k:b { } }", kSame, kSame},
        {"nested", "[ { k:a [ [ u1 ] { k:b ~ } ] } [ ] ]", kSame, kSame},
        {"members_in_key_order", "{ k:b u1 k:a u2 k:ab u3 }", "{ k:a u2 k:ab u3 k:b u1 }", kSame},
        {"null_in_a_collection_is_an_element", "[ ~ u1 ~ ]", kSame, kSame},
        {"null_member", "{ k:a ~ }", kSame, kSame},
        {"repeated_scalar_replaces", "{ k:a u1 k:a \"s }", "{ k:a \"s }", kSame},
        {"repeated_null_keeps_the_member", "{ k:a u1 k:a ~ }", "{ k:a u1 }", kSame},
        {"repeated_structures_merge", "{ k:a { k:x u1 k:z u1 } k:a { k:y u2 k:z u2 } }",
         "{ k:a { k:x u1 k:y u2 k:z u2 } }", kSame},
        {"repeated_key_after_other_members", "{ k:a [ u1 ] k:b u2 k:a [ u3 ] }", "{ k:a [ u1 u3 ] k:b u2 }",
         "{ k:a [ u3 ] k:b u2 }"},
        {"repeated_collections", "{ k:a [ u1 u2 ] k:a [ u3 ] }", "{ k:a [ u1 u2 u3 ] }", "{ k:a [ u3 u2 ] }"},
        {"repeated_collection_longer", "{ k:a [ u1 ] k:a [ u3 u4 u5 ] }", "{ k:a [ u1 u3 u4 u5 ] }",
         "{ k:a [ u3 u4 u5 ] }"},
        {"repeated_three_times", "{ k:a [ u1 u2 u3 ] k:a [ u4 ] k:a [ u5 u6 ] }",
         "{ k:a [ u1 u2 u3 u4 u5 u6 ] }", "{ k:a [ u5 u6 u3 ] }"},
        {"repeated_collection_null_keeps_the_element", "{ k:a [ u1 u2 ] k:a [ ~ u3 ] }",
         "{ k:a [ u1 u2 ~ u3 ] }", "{ k:a [ u1 u3 ] }"},
        {"repeated_collection_of_structures", "{ k:a [ { k:x u1 } ] k:a [ { k:y u2 } ] }",
         "{ k:a [ { k:x u1 } { k:y u2 } ] }", "{ k:a [ { k:x u1 k:y u2 } ] }"},
        {"repeated_collection_of_collections", "{ k:a [ [ u1 u2 ] ] k:a [ [ u3 ] ] }",
         "{ k:a [ [ u1 u2 ] [ u3 ] ] }", "{ k:a [ [ u3 u2 ] ] }"},
        {"repeated_inside_repeated", "{ k:a { k:b [ u1 ] } k:a { k:b [ u2 ] } }", "{ k:a { k:b [ u1 u2 ] } }",
         "{ k:a { k:b [ u2 ] } }"},
        {"container_replaces_scalar", "{ k:a u1 k:a [ u2 ] k:b t k:b { k:x u1 } }",
         "{ k:a [ u2 ] k:b { k:x u1 } }", kSame},
        {"scalar_replaces_container", "{ k:a [ u2 ] k:a u1 k:b { k:x u1 } k:b f }", "{ k:a u1 k:b f }",
         kSame},
        {"collection_replaces_structure", "{ k:a { k:x u1 } k:a [ u2 ] }", "{ k:a [ u2 ] }", kSame},
        {"structure_replaces_collection", "{ k:a [ u2 ] k:a { k:x u1 } }", "{ k:a { k:x u1 } }", kSame},
        {"empty_collection_keeps_a_repeated_one", "{ k:a [ u1 ] k:a [ ] }", "{ k:a [ u1 ] }", kSame},
    })),
    [](const auto& info) { return std::string(info.param.name); });

// A member name freed when its structure is written over must not be found again by the
// builder's name cache: the same structure built anew under the same key, and then a text of the
// same size, would take the freed record's block and rename the member. Names and texts are long
// enough to share a block size of their own, and the nursery is used up first, so that freed
// blocks are handed out again.
TEST(ValueTreeBuilder, NamesFreedByAnOverwriteAreNotFoundAgain) {
    const std::string name(40, 'n');
    const std::string text(40, 't');
    using namespace std::string_literals;
    std::string pad;
    for (int i = 0; i < 10; ++i) {
        pad += " \"" + std::string(40, 'p');
    }
    for (RepeatedCollections rule : {RepeatedCollections::Concatenate, RepeatedCollections::Overwrite}) {
        for (const std::string& overwrite : {"u0"s, "\""s + text, "[ u0 ]"s}) {
            const std::string events = "{ k:a [" + pad + " ] k:b { k:" + name + " u1 } k:b " + overwrite +
                                       " k:b { k:" + name + " u2 } k:c \"" + text + " }";
            const std::string built = build(events, rule);
            EXPECT_NE(built.find("k:b { k:" + name + " u2 }"), std::string::npos) << built;
            EXPECT_EQ(built.find("k:" + text), std::string::npos) << "a text became a name: " << built;
        }
    }
}

TEST(ValueTreeBuilder, SaysWhereTheNextNodeGoes) {
    struct Case {
        const char* events;
        TreeSlot slot;
        bool awaitingKey;
        std::size_t depth;
    };
    const Case cases[] = {
        {"", TreeSlot::Root, false, 0},          {"[", TreeSlot::Element, false, 1},
        {"[ u1 {", TreeSlot::Member, true, 2},   {"[ u1 { k:a", TreeSlot::Member, false, 2},
        {"{ k:a u1", TreeSlot::Member, true, 1}, {"{ k:a [ ]", TreeSlot::Member, true, 1},
    };
    for (const Case& c : cases) {
        Value root;
        ValueTreeBuilder builder(root);
        feed(builder, c.events);
        EXPECT_EQ(builder.nextSlot(), c.slot) << c.events;
        EXPECT_EQ(builder.awaitingKey(), c.awaitingKey) << c.events;
        EXPECT_EQ(builder.depth(), c.depth) << c.events;
    }
}

TEST(ValueTreeBuilder, MillionLevelsDeep) {
    constexpr std::size_t kDepth = KIV_TEST_DEEP_NESTING;
    for (RepeatedCollections rule : {RepeatedCollections::Concatenate, RepeatedCollections::Overwrite}) {
        Value root;
        ValueTreeBuilder builder(root, rule);
        // Structures and collections alternate; every structure holds its key twice, so the
        // repeated-key rules run at every level on the way back up.
        for (std::size_t i = 0; i < kDepth; ++i) {
            if (i % 2 == 0) {
                builder.startStructure();
                builder.key("k");
            } else {
                builder.startCollection();
            }
        }
        builder.unsignedNumber(7);
        for (std::size_t i = kDepth; i-- > 0;) {
            if (i % 2 == 0) {
                builder.key("k");
                builder.null();
                builder.endStructure();
            } else {
                builder.endCollection();
            }
        }
        EXPECT_EQ(builder.depth(), 0u);
        const Value* node = &root;
        std::size_t depth = 0;
        for (; node->isStructure() || node->isCollection(); ++depth) {
            node = node->isStructure() ? &(*node)["k"] : &(*node)[0];
        }
        EXPECT_EQ(depth, kDepth);
        EXPECT_EQ(node->getUnsigned(0), 7u);
    }
}

} // namespace
} // namespace kiv::test
