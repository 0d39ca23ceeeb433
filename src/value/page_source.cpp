#include "value/page_source.h"

#include "platform/invariant.h"
#include "platform/page_memory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace kiv {
namespace {

// Free pages are chained through their first word.
struct FreePage {
    FreePage* next;
};

// Every reservation made, so that they can be given back when the module ends.
struct Reservation {
    unsigned char* pages;
    Reservation* next;
};

struct PageSourceState {
    std::mutex mutex;
    unsigned char* reservation = nullptr; // the current 64 KiB reservation
    std::size_t pagesHandedOut = kPageReservationSize / kPoolPageSize;
    FreePage* freePages = nullptr;
    Reservation* reservations = nullptr;
    std::size_t pagesInUse = 0;
    bool ending = false; // the module's static destruction has begun
};

// The state lives for the whole process and is never destroyed, so trees that are
// destroyed during static destruction can still hand their pages back.
PageSourceState& state() noexcept {
    alignas(PageSourceState) static unsigned char storage[sizeof(PageSourceState)];
    static PageSourceState* instance = new (storage) PageSourceState();
    return *instance;
}

// Gives every reservation back to the system once the module is ending and no page is in use:
// a library that is unloaded and loaded again (a host's reset) would otherwise leave its
// reservations mapped each time. Under the state's mutex.
void releaseWhenDone(PageSourceState& s) noexcept {
    if (!s.ending || s.pagesInUse != 0) {
        return;
    }
    while (Reservation* reservation = s.reservations) {
        s.reservations = reservation->next;
        platform::releasePages(reservation->pages, kPageReservationSize);
        std::free(reservation);
    }
    s.reservation = nullptr;
    s.pagesHandedOut = kPageReservationSize / kPoolPageSize;
    s.freePages = nullptr;
}

// Marks the module's end when its static objects are destroyed. Trees destroyed later in the
// same destruction still hand their pages back, and the last one releases the reservations;
// the order of static destructors across files does not matter.
struct ReleaseAtModuleEnd {
    ~ReleaseAtModuleEnd() {
        PageSourceState& s = state();
        std::lock_guard lock(s.mutex);
        s.ending = true;
        releaseWhenDone(s);
    }
} releaseAtModuleEnd;

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
        ++s.pagesInUse;
        return page;
    }
    constexpr std::size_t pagesPerReservation = kPageReservationSize / kPoolPageSize;
    if (s.pagesHandedOut == pagesPerReservation) {
        auto* record = static_cast<Reservation*>(std::malloc(sizeof(Reservation)));
        auto* reservation = static_cast<unsigned char*>(platform::reservePages(kPageReservationSize));
        if (!record || !reservation) {
            std::free(record);
            if (reservation) {
                platform::releasePages(reservation, kPageReservationSize);
            }
            return nullptr;
        }
        *record = Reservation{reservation, s.reservations};
        s.reservations = record;
        s.reservation = reservation;
        s.pagesHandedOut = 0;
    }
    ++s.pagesInUse;
    return s.reservation + kPoolPageSize * s.pagesHandedOut++;
}

void PageSource::returnPage(void* page) noexcept {
    if (page) {
        returnPages(page, page, 1);
    }
}

void PageSource::returnPages(void* first, void* last, std::size_t count) noexcept {
    if (count == 0) {
        return;
    }
    KIV_ASSERT(reinterpret_cast<std::uintptr_t>(first) % kPoolPageSize == 0 &&
                   reinterpret_cast<std::uintptr_t>(last) % kPoolPageSize == 0,
               "a returned page is a whole page");
    PageSourceState& s = state();
    std::lock_guard lock(s.mutex);
    static_cast<FreePage*>(last)->next = s.freePages;
    s.freePages = static_cast<FreePage*>(first);
    s.pagesInUse -= count;
    releaseWhenDone(s);
}

} // namespace kiv
