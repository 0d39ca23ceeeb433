// A recursive mutual-exclusion lock: the thread that holds it may take it again, and must give
// it back as often as it took it. Usable with std::lock_guard and std::unique_lock. It knows
// which thread holds it, so that code which relies on running under it can say so and be checked.
#pragma once

#include <atomic>
#include <cstddef>

namespace kiv::platform {

class RecursiveLock {
  public:
    RecursiveLock() noexcept;
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() noexcept {
        lockSystem();
        if (depth_++ == 0) {
            holder_.store(callerMark(), std::memory_order_relaxed);
        }
    }
    void unlock() noexcept {
        if (--depth_ == 0) {
            holder_.store(nullptr, std::memory_order_relaxed);
        }
        unlockSystem();
    }
    bool isHeldByCaller() const noexcept { return holder_.load(std::memory_order_relaxed) == callerMark(); }

  private:
    // An address that differs from thread to thread and costs no system call to learn.
    static const void* callerMark() noexcept {
        static thread_local const char mark = 0;
        return &mark;
    }
    void lockSystem() noexcept;
    void unlockSystem() noexcept;

    std::atomic<const void*> holder_{nullptr};
    std::size_t depth_ = 0; // changed only by the thread that holds the lock

    // Room for the system's lock object (a pthread mutex or a critical section), so that
    // creating a lock never allocates. Each implementation checks that its object fits.
    static constexpr std::size_t kStorageSize = 64;
    alignas(8) unsigned char storage_[kStorageSize];
};

} // namespace kiv::platform
