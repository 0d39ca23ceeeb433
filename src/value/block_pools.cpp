#include "value/block_pools.h"

#include "platform/invariant.h"
#include "value/page_source.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

namespace kiv {

// The header in front of every large block: the list of live large blocks of the pools.
struct BlockPools::HeapBlock {
    HeapBlock* previous;
    HeapBlock* next;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(BlockPools::PageHeader) == 16, "a page header is 16 bytes in 32-bit builds");
#endif

namespace {

constexpr std::size_t blockSizeOf(std::size_t cls) noexcept {
    return cls < kSmallBlockClassCount ? (cls + 1) * kBlockGranularity
                                       : kCoarseBlockSizes[cls - kSmallBlockClassCount];
}

// The coarse class of each request size past the small ones, in steps of the smallest gap
// between two coarse sizes.
constexpr std::size_t kCoarseStep = 32;
static_assert(kSmallBlockSize % kBlockGranularity == 0 && kCoarseBlockSizes[0] > kSmallBlockSize);
template <std::size_t N> constexpr bool coarseSizesFitTheStep(const std::size_t (&sizes)[N]) noexcept {
    for (std::size_t i = 0; i < N; ++i) {
        if (sizes[i] % kCoarseStep != 0 || (i > 0 && sizes[i] <= sizes[i - 1])) {
            return false;
        }
    }
    return true;
}
static_assert(coarseSizesFitTheStep(kCoarseBlockSizes), "coarse sizes ascend in whole steps");

constexpr auto kCoarseClassBySteps = [] {
    std::array<std::uint8_t, kMaxBlockSize / kCoarseStep + 1> classes{};
    std::size_t cls = 0;
    for (std::size_t step = 0; step < classes.size(); ++step) {
        while (kCoarseBlockSizes[cls] < step * kCoarseStep) {
            ++cls;
        }
        classes[step] = static_cast<std::uint8_t>(kSmallBlockClassCount + cls);
    }
    return classes;
}();

constexpr std::uint16_t firstIndexFor(std::size_t blockSize) noexcept {
    return static_cast<std::uint16_t>((sizeof(BlockPools::PageHeader) + blockSize - 1) / blockSize);
}

// The block indexes of a page of each class: the first past the header and one past the last.
struct PageLayout {
    std::uint16_t firstIndex;
    std::uint16_t endIndex;
    std::uint16_t blockSize;
};
template <std::size_t PageSize> constexpr std::array<PageLayout, kBlockClassCount> pageLayouts() noexcept {
    std::array<PageLayout, kBlockClassCount> layouts{};
    for (std::size_t cls = 0; cls < kBlockClassCount; ++cls) {
        layouts[cls] = {firstIndexFor(blockSizeOf(cls)),
                        static_cast<std::uint16_t>(PageSize / blockSizeOf(cls)),
                        static_cast<std::uint16_t>(blockSizeOf(cls))};
    }
    return layouts;
}
// Computed here rather than per page: the divisions would cost more than a small tree's work.
constexpr auto kPoolPageLayouts = pageLayouts<kPoolPageSize>();

BlockPools::PageHeader* initPage(void* memory, const PageLayout& layout) noexcept {
    auto* page = static_cast<BlockPools::PageHeader*>(memory);
    page->nextWithRoom = nullptr;
    page->nextPage = nullptr;
    page->firstFree = 0;
    page->untouched = layout.firstIndex;
    page->endIndex = layout.endIndex;
    page->blockSize = layout.blockSize;
    return page;
}

bool isFull(const BlockPools::PageHeader* page) noexcept {
    return page->firstFree == 0 && page->untouched == page->endIndex;
}

} // namespace

static_assert(kNurserySize % 16 == 0 && kNurserySize >= 4 * kSmallBlockSize,
              "the nursery holds a few blocks of every class and keeps their alignment");

// The nursery is left as it is: only the bytes it hands out are ever touched.
BlockPools::BlockPools() noexcept : classes_{} {}

BlockPools::~BlockPools() {
    for (HeapBlock* block = heapBlocks_; block;) {
        HeapBlock* next = block->next;
        ::operator delete(block);
        block = next;
    }
    // Only the classes that took a page are visited: a small tree lives in the nursery alone.
    // The pages are chained through their first word, as the page source keeps them, and go
    // back together.
    void* first = nullptr;
    void* last = nullptr;
    std::size_t count = 0;
    for (std::uint32_t classes = pagedClasses_; classes != 0; classes &= classes - 1) {
        for (PageHeader* page = classes_[std::countr_zero(classes)].allPages; page;) {
            PageHeader* next = page->nextPage;
            std::memcpy(page, &first, sizeof first);
            first = page;
            last = last ? last : page;
            ++count;
            page = next;
        }
    }
    PageSource::instance().returnPages(first, last, count);
}

std::size_t BlockPools::coarseClassOf(std::size_t bytes) noexcept {
    return kCoarseClassBySteps[(bytes + kCoarseStep - 1) / kCoarseStep];
}

// Every request that the inline path does not serve: large blocks, the nursery, free lists, the
// last block of a page, new pages and coarse blocks while the tree holds few. `bytes` is rounded
// already.
void* BlockPools::allocateOther(std::size_t bytes) {
    if (bytes > kMaxBlockSize) {
        return allocateHeap(bytes);
    }
    if (bytes > kSmallBlockSize && !coarsePaged_) {
        if (coarseHeapCount_ < kCoarseHeapBlocks) {
            void* block = allocateHeap(bytes);
            coarseHeapBlocks_[coarseHeapCount_++] = block;
            return block;
        }
        coarsePaged_ = true;
    }
    const std::size_t cls = classOf(bytes);
    KIV_ASSERT(cls < kBlockClassCount, "a pooled request falls into one of the size classes");
    SizeClass& sizeClass = classes_[cls];
    PageHeader* page = sizeClass.withRoom;
    if (!page) {
        if (bytes <= kSmallBlockSize && nurseryUsed_ + bytes <= kNurserySize) {
            void* block = nursery_ + nurseryUsed_;
            nurseryUsed_ += bytes;
            return block;
        }
        page = static_cast<PageHeader*>(allocateSlow(cls));
    }
    KIV_ASSERT(!isFull(page), "a page on the list with room has a free block");
    const std::size_t blockSize = blockSizeOf(cls);
    auto* base = reinterpret_cast<unsigned char*>(page);
    std::uint16_t index;
    if (page->firstFree != 0) {
        index = page->firstFree;
        std::memcpy(&page->firstFree, base + index * blockSize, sizeof(std::uint16_t));
    } else {
        index = page->untouched++;
    }
    KIV_ASSERT(index >= firstIndexFor(blockSize) && index < page->endIndex,
               "a handed-out block lies between the page header and the page end");
    if (isFull(page)) {
        sizeClass.withRoom = page->nextWithRoom;
    }
    return base + index * blockSize;
}

// Takes a new shared page for a class whose pages are all full, once the nursery is used up.
void* BlockPools::allocateSlow(std::size_t cls) {
    void* memory = PageSource::instance().takePage();
    if (!memory) {
        throw std::bad_alloc();
    }
    SizeClass& sizeClass = classes_[cls];
    PageHeader* page = initPage(memory, kPoolPageLayouts[cls]);
    page->nextPage = sizeClass.allPages;
    sizeClass.allPages = page;
    pagedClasses_ |= std::uint32_t{1} << cls;
    page->nextWithRoom = sizeClass.withRoom;
    sizeClass.withRoom = page;
    return page;
}

void BlockPools::deallocate(void* block, std::size_t bytes) noexcept {
    if (!block) {
        return;
    }
    bytes = roundRequest(bytes);
    if (bytes > kMaxBlockSize || (bytes > kSmallBlockSize && forgetCoarseHeapBlock(block))) {
        freeHeap(block);
        return;
    }
    if (inNursery(block)) {
        return; // bumped memory is not handed out again; it goes with the pools
    }
    const std::size_t cls = classOf(bytes);
    auto* page =
        reinterpret_cast<PageHeader*>(reinterpret_cast<std::uintptr_t>(block) & ~(kPoolPageSize - 1));
    const bool wasFull = isFull(page);
    const std::size_t offset = static_cast<unsigned char*>(block) - reinterpret_cast<unsigned char*>(page);
    KIV_ASSERT(offset % blockSizeOf(cls) == 0 &&
                   offset / blockSizeOf(cls) >= firstIndexFor(blockSizeOf(cls)) && offset < kPoolPageSize,
               "a freed block is a block of the class it was taken from");
    const auto index = static_cast<std::uint16_t>(offset / blockSizeOf(cls));
    std::memcpy(block, &page->firstFree, sizeof(std::uint16_t));
    page->firstFree = index;
    if (wasFull) {
        page->nextWithRoom = classes_[cls].withRoom;
        classes_[cls].withRoom = page;
    }
}

void* BlockPools::allocateHeap(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - sizeof(HeapBlock)) {
        throw std::bad_alloc();
    }
    auto* block = static_cast<HeapBlock*>(::operator new(sizeof(HeapBlock) + bytes));
    block->previous = nullptr;
    block->next = heapBlocks_;
    if (heapBlocks_) {
        heapBlocks_->previous = block;
    }
    heapBlocks_ = block;
    return block + 1;
}

void BlockPools::freeHeap(void* block) noexcept {
    HeapBlock* heapBlock = static_cast<HeapBlock*>(block) - 1;
    if (heapBlock->previous) {
        heapBlock->previous->next = heapBlock->next;
    } else {
        heapBlocks_ = heapBlock->next;
    }
    if (heapBlock->next) {
        heapBlock->next->previous = heapBlock->previous;
    }
    ::operator delete(heapBlock);
}

bool BlockPools::forgetCoarseHeapBlock(void* block) noexcept {
    for (std::size_t i = 0; i < coarseHeapCount_; ++i) {
        if (coarseHeapBlocks_[i] == block) {
            coarseHeapBlocks_[i] = coarseHeapBlocks_[--coarseHeapCount_];
            return true;
        }
    }
    return false;
}

std::size_t BlockPools::sharedPageCount() const noexcept {
    std::size_t count = 0;
    for (const SizeClass& sizeClass : classes_) {
        for (const PageHeader* page = sizeClass.allPages; page; page = page->nextPage) {
            ++count;
        }
    }
    return count;
}

} // namespace kiv
