#include "kivhost/core/host_journal.h"

namespace kiv::kivhost {

void HostJournal::record(std::string plugin, HappeningDetail detail) {
    std::lock_guard lock(mutex_);
    if (std::holds_alternative<HostFault>(detail))
        ++faults_;
    happenings_.push_back({clock_.nowMs(), std::move(plugin), std::move(detail)});
    // The listener runs under the lock, so that it sees happenings in the order they are kept.
    if (listener_)
        listener_(happenings_.back());
}

std::vector<Happening> HostJournal::all() const {
    std::lock_guard lock(mutex_);
    return happenings_;
}

std::uint64_t HostJournal::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void HostJournal::setListener(std::function<void(const Happening&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

} // namespace kiv::kivhost
