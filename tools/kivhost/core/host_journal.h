// The record of everything that happened in the host, stamped with the host's clock, and the
// listener that sees each happening as it is recorded.
#pragma once

#include "kivhost/core/happening.h"
#include "kivhost/core/host_clock.h"

#include <functional>
#include <mutex>
#include <vector>

namespace kiv::kivhost {

class HostJournal {
  public:
    // Without `keep`, happenings go to the listener only; all() stays empty.
    HostJournal(const HostClock& clock, bool keep) : clock_(clock), keep_(keep) {}

    void record(std::string plugin, HappeningDetail detail);
    std::vector<Happening> all() const;
    std::uint64_t faults() const;
    // The listener sees each happening once, in the order they are kept; it may call back into the
    // host, and what it records meanwhile reaches it in turn.
    void setListener(std::function<void(const Happening&)> listener);

  private:
    const HostClock& clock_;
    const bool keep_;
    std::recursive_mutex listenerMutex_; // held around each call of the listener, taken first
    mutable std::mutex mutex_;           // guards the records
    std::vector<Happening> happenings_;
    std::uint64_t faults_ = 0;
    std::function<void(const Happening&)> listener_;
};

} // namespace kiv::kivhost
