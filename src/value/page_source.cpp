#include "value/page_source.h"

#include "platform/invariant.h"
#include "platform/page_memory.h"

#include <cstdint>
#include <mutex>
#include <new>

namespace kiv {
namespace {

// Free pages are chained through their first word.
struct FreePage {
    FreePage* next;
};

struct PageSourceState {
    std::mutex mutex;
    unsigned char* reservation = nullptr; // the current 64 KiB reservation
    std::size_t pagesHandedOut = kPageReservationSize / kPoolPageSize;
    FreePage* freePages = nullptr;
};

// The state lives for the whole process and is never destroyed, so trees that are
// destroyed during static destruction can still hand their pages back.
PageSourceState& state() noexcept {
    alignas(PageSourceState) static unsigned char storage[sizeof(PageSourceState)];
    static PageSourceState* instance = new (storage) PageSourceState();
    return *instance;
}

} // namespace

PageSource& PageSource::instance() noexcept {
    static PageSource source;
    return source;
}

void* PageSource::takePage() noexcept {
    PageSourceState& s = state();
    std::lock_guard lock(s.mutex);
    if (FreePage* page = s.freePages) {
        s.freePages = page->next;
        return page;
    }
    constexpr std::size_t pagesPerReservation = kPageReservationSize / kPoolPageSize;
    if (s.pagesHandedOut == pagesPerReservation) {
        auto* reservation = static_cast<unsigned char*>(platform::reservePages(kPageReservationSize));
        if (!reservation) {
            return nullptr;
        }
        s.reservation = reservation;
        s.pagesHandedOut = 0;
    }
    return s.reservation + kPoolPageSize * s.pagesHandedOut++;
}

void PageSource::returnPage(void* page) noexcept {
    if (!page) {
        return;
    }
    KIV_ASSERT(reinterpret_cast<std::uintptr_t>(page) % kPoolPageSize == 0,
               "a returned page is a whole page");
    PageSourceState& s = state();
    std::lock_guard lock(s.mutex);
    auto* freePage = static_cast<FreePage*>(page);
    freePage->next = s.freePages;
    s.freePages = freePage;
}

} // namespace kiv
