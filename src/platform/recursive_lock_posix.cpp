#include "platform/recursive_lock.h"

#include <new>
#include <pthread.h>

namespace kiv::platform {

namespace {

static_assert(sizeof(pthread_mutex_t) <= 64 && alignof(pthread_mutex_t) <= 8);

pthread_mutex_t* nativeMutex(unsigned char* storage) noexcept {
    return reinterpret_cast<pthread_mutex_t*>(storage);
}

} // namespace

RecursiveLock::RecursiveLock() noexcept {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_) pthread_mutex_t, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

RecursiveLock::~RecursiveLock() {
    pthread_mutex_destroy(nativeMutex(storage_));
}

void RecursiveLock::lockSystem() noexcept {
    pthread_mutex_lock(nativeMutex(storage_));
}

void RecursiveLock::unlockSystem() noexcept {
    pthread_mutex_unlock(nativeMutex(storage_));
}

} // namespace kiv::platform
