// A way into something that may go away while other threads still hold the way in: one recursive
// entry lock and an open flag. Everyone who may enter shares ownership of the gate, so the lock
// stays while anyone waits on it, and whoever gets the lock learns from the flag whether what lies
// behind the gate is still there. The owner closes the gate, under the lock, before it goes.
#pragma once

#include "platform/invariant.h"
#include "platform/recursive_lock.h"

namespace kiv::platform {

class EntryGate {
  public:
    EntryGate() noexcept = default;
    EntryGate(const EntryGate&) = delete;
    EntryGate& operator=(const EntryGate&) = delete;

    RecursiveLock& entryLock() noexcept { return entryLock_; }
    // Whether what lies behind the gate is still there.
    bool isOpen() const noexcept {
        KIV_ASSERT(entryLock_.isHeldByCaller(), "the open flag is read under the entry lock");
        return open_;
    }
    // Marks it gone for every later entry.
    void close() noexcept {
        KIV_ASSERT(entryLock_.isHeldByCaller(), "the gate closes under the entry lock");
        open_ = false;
    }

  private:
    RecursiveLock entryLock_;
    bool open_ = true;
};

} // namespace kiv::platform
