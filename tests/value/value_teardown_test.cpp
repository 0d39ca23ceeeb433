// Tearing a tree down is noexcept: it must hold when memory has run out, so it may not allocate.
// Each test tears a tree down while every allocation fails; a work list that grew there would end
// the process.
#include "failing_allocations.h"
#include "value/flat_value.h"
#include "value/value.h"
#include "value/value_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

// Every out-of-line part, wide and deep: structures in both table forms (a few members, and more
// than a sorted array holds), collections, strings, blobs, enums, empty containers, and a chain
// of alternating containers ten thousand levels deep with a blob at the bottom.
void fill(Value& root) {
    for (int row = 0; row < 8; ++row) {
        Value& wide = root.member("wide" + std::to_string(row));
        for (int i = 0; i < 100; ++i) {
            Value& member = wide.member("k" + std::to_string(i));
            member.append().setString("text " + std::to_string(i % 7));
            member.append().setBlob(std::vector<std::uint8_t>(40, static_cast<std::uint8_t>(i)));
            member.append().member("enum").setEnum({i, nullptr});
            member.append().makeStructure();
            member.append().makeCollection();
        }
        root.member("small" + std::to_string(row)).member("only").setString("small");
    }
    Value* node = &root.member("deep");
    for (int level = 0; level < 10'000; ++level) {
        node->append().setString("level");
        node = level % 2 ? &node->append() : &node->append().member("next");
    }
    node->setBlob(std::vector<std::uint8_t>(16, 1));
}

void expectAllocationsFail() {
    EXPECT_THROW(std::vector<int>(1), std::bad_alloc) << "the test would prove nothing";
}

TEST(ValueTeardownTest, ClearingATreeAllocatesNothing) {
    Value root;
    fill(root);
    {
        FailingAllocations failing;
        expectAllocationsFail();
        root.setEmpty();
    }
    EXPECT_TRUE(root.isEmpty());
    EXPECT_EQ(root.context()->strings().size(), 0u) << "every key and text released";
    EXPECT_EQ(root.context()->blobCount(), 0u) << "every blob freed";
}

// The blobs' bytes live outside the tree's pools: a blob that the teardown missed shows as a leak
// under AddressSanitizer.
TEST(ValueTeardownTest, DestroyingARootAllocatesNothing) {
    auto root = std::make_unique<Value>();
    fill(*root);
    FailingAllocations failing;
    expectAllocationsFail();
    root.reset();
}

TEST(ValueTeardownTest, ReleasingAFlatTreeAllocatesNothing) {
    Value source;
    fill(source);
    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(source, flat, nullptr));
    {
        FailingAllocations failing;
        expectAllocationsFail();
        releaseFlat(flat);
    }
    EXPECT_EQ(flat.kind, 0u);
}

} // namespace
} // namespace kiv::test
