#include "kivhost/core/host_journal.h"

namespace kiv::kivhost {

void HostJournal::record(std::string plugin, HappeningDetail detail) {
    std::lock_guard listening(listenerMutex_);
    Happening happening{clock_.nowMs(), std::move(plugin), std::move(detail)};
    std::function<void(const Happening&)> listener;
    {
        std::lock_guard lock(mutex_);
        if (std::holds_alternative<HostFault>(happening.detail)) {
            ++faults_;
        }
        listener = listener_;
        if (keep_) {
            happenings_.push_back(happening);
        }
    }
    if (listener) {
        listener(happening);
    }
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
    std::lock_guard listening(listenerMutex_);
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

} // namespace kiv::kivhost
