// Conversions must not grow the call stack with the depth of what they convert.
#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"

#include <gtest/gtest.h>

#include <vector>

namespace kiv {
namespace {

constexpr std::size_t kValueDepth = KIV_TEST_DEEP_NESTING;
constexpr std::size_t kNativeDepth = 200'000;

struct Holder {
    Value data;
    std::vector<Value> items;
};

// A native type that contains itself.
struct Node {
    std::int32_t id = 0;
    std::vector<Node> children;
};

// Native trees this deep would overflow the stack in std::vector's own destructor, so the
// test takes them apart level by level.
void dismantle(Node& root) {
    std::vector<Node> pending = std::move(root.children);
    while (!pending.empty()) {
        Node node = std::move(pending.back());
        pending.pop_back();
        for (Node& child : node.children) {
            pending.push_back(std::move(child));
        }
    }
}

Value deepValue(std::size_t depth) {
    Value root;
    Value* node = &root;
    for (std::size_t i = 0; i < depth; ++i) {
        node = &node->member("a");
    }
    node->setSigned(1);
    return root;
}

std::size_t depthOf(const Value& value) {
    std::size_t depth = 0;
    for (const Value* node = &value; node->isStructure(); node = &(*node)["a"]) {
        ++depth;
    }
    return depth;
}

class DeepConversionTest : public ::testing::Test {
  protected:
    DeepConversionTest() {
        declareStruct<Holder>(registry, {"Holder"}, {{"data", &Holder::data}, {"items", &Holder::items}});
        declareStruct<Node>(registry, {"Node"}, {{"id", &Node::id}, {"children", &Node::children}});
    }

    BindingRegistry registry;
};

TEST_F(DeepConversionTest, ObjectMembersHoldingDeepValues) {
    Value input;
    input.member("data") = deepValue(kValueDepth);
    input.member("items").append() = deepValue(kValueDepth);

    Holder holder;
    ConversionResult assigned;
    assignNative(assigned, holder, input, "x", registry);
    ASSERT_TRUE(assigned.ok()) << assigned.errorText();
    EXPECT_EQ(depthOf(holder.data), kValueDepth);
    ASSERT_EQ(holder.items.size(), 1u);
    EXPECT_EQ(depthOf(holder.items[0]), kValueDepth);

    ConversionResult converted;
    convertNative(converted, holder, registry);
    ASSERT_TRUE(converted.ok());
    EXPECT_EQ(depthOf(converted.value()["data"]), kValueDepth);
    EXPECT_EQ(depthOf(converted.value()["items"][0]), kValueDepth);
}

TEST_F(DeepConversionTest, SelfContainingNativeTypes) {
    Value input;
    Value* level = &input;
    for (std::size_t i = 0; i < kNativeDepth; ++i) {
        level->member("id").setSigned(static_cast<std::int64_t>(i));
        level = &level->member("children").append();
    }
    level->member("id").setSigned(-1);

    Node root;
    ConversionResult assigned;
    assignNative(assigned, root, input, "x", registry);
    ASSERT_TRUE(assigned.ok()) << assigned.errorText();

    ConversionResult converted;
    convertNative(converted, root, registry);
    ASSERT_TRUE(converted.ok());
    const Value* node = &converted.value();
    std::size_t depth = 0;
    while (node->size() != 0 && (*node)["children"].size() == 1) {
        node = &(*node)["children"][0];
        ++depth;
    }
    EXPECT_EQ(depth, kNativeDepth);
    EXPECT_EQ((*node)["id"].getSigned(0), -1);
    dismantle(root);
}

} // namespace
} // namespace kiv
