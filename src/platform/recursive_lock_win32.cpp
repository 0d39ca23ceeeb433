#include "platform/recursive_lock.h"

#include <new>
#include <windows.h>

namespace kiv::platform {

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= 64 && alignof(CRITICAL_SECTION) <= 8);

CRITICAL_SECTION* criticalSection(unsigned char* storage) noexcept {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

} // namespace

// Critical sections are recursive by nature.
RecursiveLock::RecursiveLock() noexcept {
    InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

RecursiveLock::~RecursiveLock() {
    DeleteCriticalSection(criticalSection(storage_));
}

void RecursiveLock::lockSystem() noexcept {
    EnterCriticalSection(criticalSection(storage_));
}

void RecursiveLock::unlockSystem() noexcept {
    LeaveCriticalSection(criticalSection(storage_));
}

} // namespace kiv::platform
