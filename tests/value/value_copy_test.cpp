#include "value/value.h"
#include "value/value_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kiv {
namespace {

Value sampleTree() {
    Value tree;
    tree.member("name").setString("queue");
    tree.member("ids").element(0).setUnsigned(1);
    tree.member("ids").element(1).setUnsigned(2);
    tree.member("nested").member("flag").setBool(true);
    tree.member("nested").member("bytes").setBlob(std::vector<std::uint8_t>{1, 2});
    tree.member("kind").setEnum({2, nullptr});
    return tree;
}

void expectSample(const Value& tree) {
    EXPECT_EQ(tree["name"].getString(""), "queue");
    EXPECT_EQ(tree["ids"].size(), 2u);
    EXPECT_EQ(tree["ids"][1].getUnsigned(0), 2u);
    EXPECT_TRUE(tree["nested"]["flag"].getBool(false));
    EXPECT_EQ(tree["nested"]["bytes"].size(), 2u);
    EXPECT_EQ(tree["kind"].getEnum({}).value, 2);
}

TEST(ValueCopyTest, CopyIntoAnotherTreeSurvivesTheSource) {
    Value copy;
    {
        Value source = sampleTree();
        copy.member("inner") = source;
        EXPECT_NE(copy.context(), source.context());
    }
    expectSample(copy["inner"]);
}

TEST(ValueCopyTest, CopiesAreIndependent) {
    Value source = sampleTree();
    Value copy(source);
    copy.member("name").setString("changed");
    copy.member("ids").element(0).setUnsigned(9);
    expectSample(source);
    EXPECT_EQ(copy["ids"][0].getUnsigned(0), 9u);
}

TEST(ValueCopyTest, SelfAssignmentKeepsTheValue) {
    Value value = sampleTree();
    Value& alias = value;
    value = alias;
    expectSample(value);
}

TEST(ValueCopyTest, CopyingAChildOverItsAncestor) {
    Value value = sampleTree();
    value = value["nested"];
    EXPECT_TRUE(value["flag"].getBool(false));
    EXPECT_TRUE(value["name"].isEmpty());
}

TEST(ValueCopyTest, CopyingAnAncestorIntoItsChild) {
    Value value;
    value.member("a").setSigned(1);
    value.member("b") = value;
    EXPECT_EQ(value["b"]["a"].getSigned(0), 1);
    EXPECT_TRUE(value["b"]["b"].isEmpty()) << "the copy is taken before the child changes";
}

TEST(ValueCopyTest, CopyWithinOneTreeSharesKeysAndTexts) {
    Value value = sampleTree();
    const std::size_t pooled = value.context()->strings().size();
    value.member("copy") = value["nested"];
    value.member("again") = value["name"];
    EXPECT_EQ(value.context()->strings().size(), pooled + 2) << "only the new keys are added";
    EXPECT_EQ(value["again"].c_str(), value["name"].c_str()) << "the text record is shared";
    Value other;
    other.member("name") = value["name"];
    EXPECT_NE(other["name"].c_str(), value["name"].c_str()) << "another tree holds a text of its own";
    value.member("name").setEmpty();
    EXPECT_EQ(value["again"].getString(""), "queue") << "the last holder keeps the text";
}

TEST(ValueMoveTest, MovingBetweenRootsExchangesAndClears) {
    Value source = sampleTree();
    ValueContext* context = source.context();
    Value target;
    target.setSigned(1);
    target = std::move(source);
    expectSample(target);
    EXPECT_EQ(target.context(), context);
    EXPECT_TRUE(source.isEmpty());
}

TEST(ValueMoveTest, MovingIntoAChildCopiesAndClears) {
    Value parent;
    Value source = sampleTree();
    parent.member("child") = std::move(source);
    expectSample(parent["child"]);
    EXPECT_TRUE(source.isEmpty());
    EXPECT_EQ(parent["child"]["name"].getString(""), "queue");
}

TEST(ValueMoveTest, MovingAChildOverItsAncestor) {
    Value value = sampleTree();
    value = std::move(value.member("nested"));
    EXPECT_TRUE(value["flag"].getBool(false));
    EXPECT_EQ(value.size(), 2u);
}

// Moving a tree into a node inside itself wraps it: the source is left holding only the path
// down to that node, as if it had been cleared and the path written again.
TEST(ValueMoveTest, WrappingATreeUnderANodeOfItself) {
    Value v = sampleTree();
    v.member("a") = std::move(v);
    EXPECT_EQ(v.size(), 1u);
    expectSample(v["a"]);
    EXPECT_TRUE(v["a"]["a"].isEmpty()) << "the copy is taken once the destination exists";

    v.member("outer").member("inner") = std::move(v);
    EXPECT_EQ(v.size(), 1u);
    EXPECT_EQ(v["outer"].size(), 1u);
    expectSample(v["outer"]["inner"]["a"]);

    Value list;
    for (int i = 0; i < 4; ++i) {
        list.append().setSigned(i);
    }
    list.element(1) = std::move(list);
    ASSERT_EQ(list.size(), 2u) << "elements before the path stay as Empty, those after it go";
    EXPECT_TRUE(list[0].isEmpty());
    EXPECT_EQ(list[1].size(), 4u);
    EXPECT_EQ(list[1][3].getSigned(-1), 3);
}

TEST(ValueMoveTest, MovingAChildIntoItsOwnDescendant) {
    Value v = sampleTree();
    v.member("nested").member("deeper") = std::move(v.member("nested"));
    EXPECT_EQ(v["name"].getString(""), "queue") << "the rest of the tree stays";
    EXPECT_EQ(v["nested"].size(), 1u);
    EXPECT_TRUE(v["nested"]["deeper"]["flag"].getBool(false));
    EXPECT_EQ(v["nested"]["deeper"]["bytes"].size(), 2u);
}

TEST(ValueMoveTest, MoveConstructionStealsARoot) {
    Value source = sampleTree();
    Value target(std::move(source));
    expectSample(target);
    EXPECT_TRUE(source.isEmpty());
    source.setString("reusable");
    EXPECT_EQ(source.getString(""), "reusable");
}

TEST(ValueMoveTest, MoveConstructionFromAChildCopies) {
    Value tree = sampleTree();
    Value taken(std::move(tree.member("nested")));
    EXPECT_TRUE(taken["flag"].getBool(false));
    EXPECT_TRUE(tree["nested"].isEmpty());
    EXPECT_TRUE(taken.ownsContext());
}

TEST(ValueMoveTest, VectorsOfValuesRelocateRoots) {
    std::vector<Value> values;
    for (int i = 0; i < 100; ++i) {
        values.emplace_back().member("i").setSigned(i);
    }
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(values[i]["i"].getSigned(-1), i);
    }
}

// A million levels of nesting: building, copying, moving and destroying must not recurse.
constexpr int kDeep = KIV_TEST_DEEP_NESTING;

Value deepTree(bool structures) {
    Value root;
    Value* node = &root;
    for (int i = 0; i < kDeep; ++i) {
        node = structures ? &node->member("n") : &node->append();
    }
    node->setString("bottom");
    return root;
}

std::string bottomOf(const Value& root, bool structures) {
    const Value* node = &root;
    for (int i = 0; i < kDeep; ++i) {
        node = structures ? &(*node)["n"] : &(*node)[0];
    }
    return std::string(node->getString(""));
}

TEST(ValueDeepTest, DeepCollectionsCopyMoveAndDestroy) {
    Value tree = deepTree(false);
    Value copy(tree);
    EXPECT_EQ(bottomOf(copy, false), "bottom");
    Value holder;
    holder.member("moved") = std::move(copy);
    EXPECT_EQ(bottomOf(holder["moved"], false), "bottom");
    tree.setEmpty();
    EXPECT_TRUE(tree.isEmpty());
}

TEST(ValueDeepTest, DeepStructuresCopyAndDestroy) {
    auto tree = std::make_unique<Value>(deepTree(true));
    Value copy;
    copy = *tree;
    tree.reset();
    EXPECT_EQ(bottomOf(copy, true), "bottom");
}

} // namespace
} // namespace kiv

namespace kiv {
namespace {

// Wide collections keep their children on the general heap; destroying the root must visit
// every child container before that storage goes (checked under AddressSanitizer).
TEST(ValueDestroyTest, WideTreesOfContainersAndBlobs) {
    auto tree = std::make_unique<Value>();
    for (int i = 0; i < 64; ++i) {
        Value& row = tree->append();
        for (int j = 0; j < 16; ++j) {
            row.append().member("blob").setBlob(std::vector<std::uint8_t>(100, static_cast<std::uint8_t>(j)));
        }
        row.append().setString(std::string(200, 'x')); // a record too long for the pools
    }
    Value copy(*tree);
    tree.reset();
    EXPECT_EQ(copy[63][15]["blob"].getBlob({})[99], 15);
    EXPECT_EQ(copy[0][16].size(), 200u);
}

} // namespace
} // namespace kiv
