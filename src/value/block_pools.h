// A decoded document makes thousands of small out-of-line parts (vector and map headers, enum
// records, map nodes, short strings). Taking them from pools of their own tree instead of the heap
// makes each one a few instructions and lets the whole lot go at once with the tree. The first
// small blocks are bumped from a nursery of a few hundred bytes inside the pools, so that a tree of
// a few values takes no page at all and its context is one small heap block; a block freed there is
// not handed out again. Past the nursery each class has pages of its own. Small blocks come in
// 4-byte steps; texts of a sentence or a paragraph take the coarser classes above them, a quarter
// apart, rather than a heap block each, once a tree holds more than a few of them: a tree with one
// long text keeps it in a heap block, where a page of its class would stay nearly empty. A free
// block of a page holds the index of the next one, so the free lists cost nothing beyond the
// blocks; 16 bits suffice because no page is larger than 4096 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace kiv {

inline constexpr std::size_t kBlockGranularity = 4;
inline constexpr std::size_t kSmallBlockClassCount = 18;
inline constexpr std::size_t kSmallBlockSize = kSmallBlockClassCount * kBlockGranularity; // 72
// The coarse classes past the small ones: 96, 128, 160, 192, 256, 320, 384 and 512 bytes.
inline constexpr std::size_t kCoarseBlockSizes[] = {96, 128, 160, 192, 256, 320, 384, 512};
inline constexpr std::size_t kBlockClassCount = kSmallBlockClassCount + std::size(kCoarseBlockSizes);
inline constexpr std::size_t kMaxBlockSize = kCoarseBlockSizes[std::size(kCoarseBlockSizes) - 1];
inline constexpr std::size_t kNurserySize = 320;

class BlockPools {
  public:
    BlockPools() noexcept;
    ~BlockPools(); // hands every page back to the page source
    BlockPools(const BlockPools&) = delete;
    BlockPools& operator=(const BlockPools&) = delete;

    // A block of at least `bytes`. Up to 512 bytes it comes from the pages (but for a tree's first
    // few blocks past 72 bytes); larger requests go to the general heap and are tracked, so that
    // the pools free whatever is left of them when they go. Throws std::bad_alloc when no memory is
    // left.
    // The common case, a page of the class with blocks never handed out and more after the
    // one taken, is inline: a tree being built takes nearly all of its blocks that way.
    [[nodiscard]] void* allocate(std::size_t bytes) {
        bytes = roundRequest(bytes);
        if (bytes <= kMaxBlockSize) {
            PageHeader* page = classes_[classOf(bytes)].withRoom;
            if (page && page->firstFree == 0 && page->untouched + 1 < page->endIndex) {
                return reinterpret_cast<unsigned char*>(page) +
                       std::size_t{page->untouched++} * page->blockSize;
            }
        }
        return allocateOther(bytes);
    }
    // Frees a block of the same size as requested.
    void deallocate(void* block, std::size_t bytes) noexcept;

    // Pages that the pools hold (for tests and statistics).
    std::size_t sharedPageCount() const noexcept;

    // The header at the start of every page. Blocks start at the first index whose offset is
    // past it; index 0 therefore never names a block and ends the free list.
    struct PageHeader {
        PageHeader* nextWithRoom; // next page of the class that has a free block
        PageHeader* nextPage;     // next shared page of the class (all of them)
        std::uint16_t firstFree;  // head of the free list of returned blocks, 0 when empty
        std::uint16_t untouched;  // first index never handed out yet
        std::uint16_t endIndex;   // one past the last block index
        std::uint16_t blockSize;  // bytes of each block of the page
    };
    struct HeapBlock;

  private:
    struct SizeClass {
        PageHeader* withRoom; // pages that still have a free block
        PageHeader* allPages; // every shared page of the class
    };

    // The class of a request already rounded and at most kMaxBlockSize.
    static std::size_t classOf(std::size_t bytes) noexcept {
        if (bytes <= kSmallBlockSize) {
            return (bytes + kBlockGranularity - 1) / kBlockGranularity - 1;
        }
        return coarseClassOf(bytes);
    }
    static std::size_t coarseClassOf(std::size_t bytes) noexcept;
    // Blocks are rounded to the pointer size where that is larger than the granularity, so that
    // records with pointers stay aligned in 64-bit builds.
    static constexpr std::size_t kBlockAlignment = sizeof(void*) > kBlockGranularity ? sizeof(void*)
                                                                                     : kBlockGranularity;
    static std::size_t roundRequest(std::size_t bytes) noexcept {
        return bytes == 0 ? kBlockAlignment : (bytes + kBlockAlignment - 1) & ~(kBlockAlignment - 1);
    }
    void* allocateOther(std::size_t bytes);
    void* allocateHeap(std::size_t bytes);
    void freeHeap(void* block) noexcept;
    // Whether `block` is a coarse-sized block on the heap; it is no longer listed as one after.
    bool forgetCoarseHeapBlock(void* block) noexcept;
    void* allocateSlow(std::size_t cls);
    bool inNursery(const void* block) const noexcept {
        const auto* address = static_cast<const unsigned char*>(block);
        return address >= nursery_ && address < nursery_ + kNurserySize;
    }

    SizeClass classes_[kBlockClassCount];
    std::uint32_t pagedClasses_ = 0; // a bit for each class that took a shared page
    static_assert(kBlockClassCount <= 32, "one bit for each class");
    HeapBlock* heapBlocks_ = nullptr; // live large blocks, in a doubly linked list
    // The coarse-sized blocks taken from the heap while the tree held few: the first
    // coarseHeapCount_ are live. Once kCoarseHeapBlocks are live at a time, coarse classes take pages.
    static constexpr std::size_t kCoarseHeapBlocks = 8;
    void* coarseHeapBlocks_[kCoarseHeapBlocks];
    std::uint8_t coarseHeapCount_ = 0;
    bool coarsePaged_ = false;
    std::size_t nurseryUsed_ = 0; // bytes of the nursery handed out
    alignas(16) unsigned char nursery_[kNurserySize];
};

} // namespace kiv
