// A decoded document makes thousands of small out-of-line parts (vector and map headers, enum
// records, map nodes, short strings). Taking them from pools of their own tree instead of the heap
// makes each one a few instructions and lets the whole lot go at once with the tree. The first
// blocks are bumped from a nursery of a few hundred bytes inside the pools, so that a tree of a
// few values takes no page at all and its context is one small heap block; a block freed there is
// not handed out again. Past the nursery each class has pages of its own. A free block of a page
// holds the index of the next one, so the free lists cost nothing beyond the blocks; 16 bits
// suffice because no page is larger than 4096 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr std::size_t kBlockClassCount = 18;
inline constexpr std::size_t kBlockGranularity = 4;
inline constexpr std::size_t kMaxBlockSize = kBlockClassCount * kBlockGranularity; // 72
inline constexpr std::size_t kNurserySize = 320;

class BlockPools {
  public:
    BlockPools() noexcept;
    ~BlockPools(); // hands every page back to the page source
    BlockPools(const BlockPools&) = delete;
    BlockPools& operator=(const BlockPools&) = delete;

    // A block of at least `bytes`. Up to 72 bytes it comes from the pages; larger requests go
    // to the general heap and are tracked, so that the pools free whatever is left of them when
    // they go. Throws std::bad_alloc when no memory is left.
    [[nodiscard]] void* allocate(std::size_t bytes);
    // Frees a block of the same size as requested.
    void deallocate(void* block, std::size_t bytes) noexcept;

    // Pages that the pools hold (for tests and statistics).
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
    bool inNursery(const void* block) const noexcept {
        const auto* address = static_cast<const unsigned char*>(block);
        return address >= nursery_ && address < nursery_ + kNurserySize;
    }

    SizeClass classes_[kBlockClassCount];
    std::uint32_t pagedClasses_ = 0; // a bit for each class that took a shared page
    static_assert(kBlockClassCount <= 32, "one bit for each class");
    HeapBlock* heapBlocks_ = nullptr; // live large blocks, in a doubly linked list
    std::size_t nurseryUsed_ = 0;     // bytes of the nursery handed out
    alignas(16) unsigned char nursery_[kNurserySize];
};

} // namespace kiv
