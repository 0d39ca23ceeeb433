#include "host/job_table.h"

#include <utility>

namespace kiv {

namespace {

constexpr unsigned kSerialShift = 32;

} // namespace

std::uint64_t JobTable::add(PendingJob job) {
    std::uint32_t index = firstFree_;
    if (index == kNoSlot) {
        slots_.emplace_back();
        index = static_cast<std::uint32_t>(slots_.size() - 1);
    } else {
        firstFree_ = slots_[index].nextFree;
    }
    // The serial wraps after four billion jobs; 0 is skipped so that no id is 0.
    if (++lastSerial_ == 0) {
        ++lastSerial_;
    }
    Slot& slot = slots_[index];
    slot.job = std::move(job);
    slot.id = (std::uint64_t{lastSerial_} << kSerialShift) | index;
    ++pending_;
    return slot.id;
}

JobTable::Slot* JobTable::slotOf(std::uint64_t id) noexcept {
    const auto index = static_cast<std::uint32_t>(id); // the low half
    if (id == 0 || index >= slots_.size() || slots_[index].id != id) {
        return nullptr;
    }
    return &slots_[index];
}

PendingJob* JobTable::find(std::uint64_t id) noexcept {
    Slot* const slot = slotOf(id);
    return slot ? &slot->job : nullptr;
}

std::optional<PendingJob> JobTable::take(std::uint64_t id) noexcept {
    Slot* const slot = slotOf(id);
    if (!slot) {
        return std::nullopt;
    }
    std::optional<PendingJob> taken(std::move(slot->job));
    slot->job = PendingJob{};
    slot->id = 0;
    slot->nextFree = firstFree_;
    firstFree_ = static_cast<std::uint32_t>(slot - slots_.data());
    if (--pending_ == 0) {
        clear();
    }
    return taken;
}

void JobTable::clear() noexcept {
    std::vector<Slot>().swap(slots_);
    firstFree_ = kNoSlot;
    pending_ = 0;
}

} // namespace kiv
