// Fixed-size block pools for the small out-of-line parts of a tree (vector and map headers,
// enum records, map nodes, short strings). 18 size classes of 4, 8, ..., 72 bytes; each class
// starts with a 144-byte page inside the pools and continues on 4096-byte pages from the
// process-wide page source. Blocks of a page form a free list of 16-bit indexes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr std::size_t kBlockClassCount = 18;
inline constexpr std::size_t kBlockGranularity = 4;
inline constexpr std::size_t kMaxBlockSize = kBlockClassCount * kBlockGranularity; // 72
inline constexpr std::size_t kInlinePageSize = 144;

class BlockPools {
  public:
    BlockPools() noexcept;
    ~BlockPools(); // hands every page back to the page source
    BlockPools(const BlockPools&) = delete;
    BlockPools& operator=(const BlockPools&) = delete;

    // A block of at least `bytes`. Up to 72 bytes it comes from the pages; larger requests go
    // to the general heap and are tracked, so that the pools free whatever is left of them when
    // they go. Throws std::bad_alloc when no memory is left.
    void* allocate(std::size_t bytes);
    // Frees a block of the same size as requested.
    void deallocate(void* block, std::size_t bytes) noexcept;

    // Pages that the pools hold beyond their inline ones (for tests and statistics).
    std::size_t sharedPageCount() const noexcept;

    struct PageHeader;
    struct HeapBlock;

  private:
    struct SizeClass {
        PageHeader* withRoom; // pages that still have a free block
        PageHeader* allPages; // every shared page of the class
    };

    static std::size_t classOf(std::size_t bytes) noexcept {
        return (bytes + kBlockGranularity - 1) / kBlockGranularity - 1;
    }
    void* allocateSlow(std::size_t cls);
    PageHeader* pageOf(void* block, std::size_t cls) noexcept;

    SizeClass classes_[kBlockClassCount];
    HeapBlock* heapBlocks_ = nullptr; // live large blocks, in a doubly linked list
    alignas(16) unsigned char inlinePages_[kBlockClassCount][kInlinePageSize];
};

} // namespace kiv
