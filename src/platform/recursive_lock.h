// A recursive mutual-exclusion lock: the thread that holds it may take it again, and must give
// it back as often as it took it. Usable with std::lock_guard and std::unique_lock.
#pragma once

#include <cstddef>

namespace kiv::platform {

class RecursiveLock {
  public:
    RecursiveLock() noexcept;
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() noexcept;
    void unlock() noexcept;

  private:
    // Room for the system's lock object (a pthread mutex or a critical section), so that
    // creating a lock never allocates. Each implementation checks that its object fits.
    static constexpr std::size_t kStorageSize = 64;
    alignas(8) unsigned char storage_[kStorageSize];
};

} // namespace kiv::platform
