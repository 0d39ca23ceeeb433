#include "value/block_pools.h"

#include "platform/invariant.h"
#include "value/page_source.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

namespace kiv {

// The header at the start of every page. Blocks start at the first index whose offset is
// past it; index 0 therefore never names a block and ends the free list.
struct BlockPools::PageHeader {
    PageHeader* nextWithRoom; // next page of the class that has a free block
    PageHeader* nextPage;     // next shared page of the class (all of them)
    std::uint16_t firstFree;  // head of the free list of returned blocks, 0 when empty
    std::uint16_t untouched;  // first index never handed out yet
    std::uint16_t endIndex;   // one past the last block index
    std::uint16_t reserved;
};

// The header in front of every large block: the list of live large blocks of the pools.
struct BlockPools::HeapBlock {
    HeapBlock* previous;
    HeapBlock* next;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(BlockPools::PageHeader) == 16, "a page header is 16 bytes in 32-bit builds");
#endif

namespace {

// Blocks are rounded to the pointer size where that is larger than 4, so that records with
// pointers stay aligned in 64-bit builds.
constexpr std::size_t kBlockAlignment = sizeof(void*) > kBlockGranularity ? sizeof(void*) : kBlockGranularity;

constexpr std::size_t blockSizeOf(std::size_t cls) noexcept {
    return (cls + 1) * kBlockGranularity;
}

constexpr std::uint16_t firstIndexFor(std::size_t blockSize) noexcept {
    return static_cast<std::uint16_t>((sizeof(BlockPools::PageHeader) + blockSize - 1) / blockSize);
}

// The block indexes of a page of each class: the first past the header and one past the last.
struct PageLayout {
    std::uint16_t firstIndex;
    std::uint16_t endIndex;
};
template <std::size_t PageSize> constexpr std::array<PageLayout, kBlockClassCount> pageLayouts() noexcept {
    std::array<PageLayout, kBlockClassCount> layouts{};
    for (std::size_t cls = 0; cls < kBlockClassCount; ++cls) {
        layouts[cls] = {firstIndexFor(blockSizeOf(cls)),
                        static_cast<std::uint16_t>(PageSize / blockSizeOf(cls))};
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
    page->reserved = 0;
    return page;
}

bool isFull(const BlockPools::PageHeader* page) noexcept {
    return page->firstFree == 0 && page->untouched == page->endIndex;
}

std::size_t roundRequest(std::size_t bytes) noexcept {
    if (bytes == 0) {
        bytes = 1;
    }
    return (bytes + kBlockAlignment - 1) & ~(kBlockAlignment - 1);
}

} // namespace

static_assert(kNurserySize % 16 == 0 && kNurserySize >= 4 * kMaxBlockSize,
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
    for (std::uint32_t classes = pagedClasses_; classes != 0; classes &= classes - 1) {
        for (PageHeader* page = classes_[std::countr_zero(classes)].allPages; page;) {
            PageHeader* next = page->nextPage;
            PageSource::instance().returnPage(page);
            page = next;
        }
    }
}

void* BlockPools::allocate(std::size_t bytes) {
    bytes = roundRequest(bytes);
    if (bytes > kMaxBlockSize) {
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
    const std::size_t cls = classOf(bytes);
    KIV_ASSERT(cls < kBlockClassCount, "a pooled request falls into one of the size classes");
    SizeClass& sizeClass = classes_[cls];
    PageHeader* page = sizeClass.withRoom;
    if (!page) {
        if (nurseryUsed_ + bytes <= kNurserySize) {
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
    if (bytes > kMaxBlockSize) {
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
