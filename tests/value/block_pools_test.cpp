#include "value/block_pools.h"
#include "value/page_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace kiv {
namespace {

TEST(BlockPoolsTest, BlocksOfEveryClassAreDistinctAndWritable) {
    BlockPools pools;
    std::vector<std::pair<void*, std::size_t>> blocks;
    for (std::size_t size = 1; size <= kMaxBlockSize; ++size) {
        for (int i = 0; i < 200; ++i) {
            void* block = pools.allocate(size);
            std::memset(block, static_cast<int>(size), size);
            blocks.emplace_back(block, size);
        }
    }
    for (auto& [block, size] : blocks) {
        auto* bytes = static_cast<unsigned char*>(block);
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_EQ(bytes[i], static_cast<unsigned char>(size))
                << "block of " << size << " was overwritten";
        }
    }
    std::set<void*> distinct;
    for (auto& entry : blocks) {
        distinct.insert(entry.first);
    }
    EXPECT_EQ(distinct.size(), blocks.size());
    for (auto& [block, size] : blocks) {
        pools.deallocate(block, size);
    }
}

TEST(BlockPoolsTest, FreedBlocksAreReusedBeforeNewPages) {
    BlockPools pools;
    std::vector<void*> first;
    for (int i = 0; i < 1000; ++i) {
        first.push_back(pools.allocate(12));
    }
    const std::size_t pages = pools.sharedPageCount();
    EXPECT_GT(pages, 0u);
    for (void* block : first) {
        pools.deallocate(block, 12);
    }
    std::set<void*> reused;
    for (int i = 0; i < 1000; ++i) {
        reused.insert(pools.allocate(12));
    }
    EXPECT_EQ(reused.size(), 1000u);
    EXPECT_EQ(pools.sharedPageCount(), pages) << "no new page while freed blocks remain";
}

TEST(BlockPoolsTest, LargeRequestsGoToTheHeap) {
    BlockPools pools;
    void* block = pools.allocate(kMaxBlockSize + 1);
    std::memset(block, 1, kMaxBlockSize + 1);
    pools.deallocate(block, kMaxBlockSize + 1);
    EXPECT_EQ(pools.sharedPageCount(), 0u);
}

// A tree holding a few long texts keeps them in heap blocks; from the ninth held at once its coarse
// classes take pages. Blocks taken before the change are still freed to the heap after it, in any
// order, and every size of the coarse classes is tried on both sides.
TEST(BlockPoolsTest, CoarseBlocksTakePagesOnceATreeHoldsMoreThanAFew) {
    for (std::size_t size = kSmallBlockSize + 1; size <= kMaxBlockSize; size += 13) {
        BlockPools pools;
        std::vector<void*> held;
        for (int i = 0; i < 8; ++i) {
            held.push_back(pools.allocate(size));
            std::memset(held.back(), i, size);
        }
        EXPECT_EQ(pools.sharedPageCount(), 0u) << "eight texts of " << size << " bytes take no page";
        pools.deallocate(held[3], size);
        held[3] = pools.allocate(size);
        EXPECT_EQ(pools.sharedPageCount(), 0u) << "a freed heap block leaves room for another";
        for (int i = 0; i < 40; ++i) {
            held.push_back(pools.allocate(size));
            std::memset(held.back(), i, size);
        }
        EXPECT_GE(pools.sharedPageCount(), 1u) << "the ninth text held takes a page";
        // 48 blocks freed in a scattered order: 7 and 48 share no factor, so each goes once.
        for (std::size_t i = 0; i < held.size(); ++i) {
            pools.deallocate(held[i * 7 % held.size()], size);
        }
    }
}

TEST(BlockPoolsTest, SmallFirstAllocationsStayInsideThePools) {
    BlockPools pools;
    void* block = pools.allocate(8);
    const auto* self = reinterpret_cast<const unsigned char*>(&pools);
    EXPECT_GE(static_cast<unsigned char*>(block), self);
    EXPECT_LT(static_cast<unsigned char*>(block), self + sizeof(BlockPools));
    EXPECT_EQ(pools.sharedPageCount(), 0u);
    pools.deallocate(block, 8);
}

// The nursery bumps its blocks and never hands a freed one out again; past it, blocks come from
// pages, and a page's freed blocks are handed out again.
TEST(BlockPoolsTest, TheNurseryIsBumpedOnceThenPagesTakeOver) {
    BlockPools pools;
    const auto* self = reinterpret_cast<const unsigned char*>(&pools);
    const auto inside = [&](const void* block) {
        return block >= static_cast<const void*>(self) &&
               block < static_cast<const void*>(self + sizeof pools);
    };
    std::vector<void*> bumped;
    for (void* block = pools.allocate(kSmallBlockSize); inside(block);
         block = pools.allocate(kSmallBlockSize)) {
        bumped.push_back(block);
        ASSERT_LE(bumped.size(), kNurserySize / kSmallBlockSize) << "the nursery ends";
    }
    EXPECT_EQ(bumped.size(), kNurserySize / kSmallBlockSize);
    EXPECT_EQ(pools.sharedPageCount(), 1u);
    pools.deallocate(bumped.front(), kSmallBlockSize);
    void* after = pools.allocate(kSmallBlockSize);
    EXPECT_FALSE(inside(after)) << "a freed nursery block is not handed out again";
    pools.deallocate(after, kSmallBlockSize);
    EXPECT_EQ(pools.allocate(kSmallBlockSize), after) << "a freed page block is";
    EXPECT_TRUE(inside(pools.allocate(4))) << "a class without a page still bumps what is left";
}

TEST(PageSourceTest, PagesAreAlignedAndRecycled) {
    PageSource& source = PageSource::instance();
    std::vector<void*> pages;
    for (int i = 0; i < 40; ++i) { // more than two 64 KiB reservations
        void* page = source.takePage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page) % kPoolPageSize, 0u);
        std::memset(page, 0xAB, kPoolPageSize);
        pages.push_back(page);
    }
    EXPECT_EQ(std::set<void*>(pages.begin(), pages.end()).size(), pages.size());
    void* last = pages.back();
    source.returnPage(last);
    EXPECT_EQ(source.takePage(), last);
    for (void* page : pages) {
        source.returnPage(page);
    }
}

} // namespace
} // namespace kiv
