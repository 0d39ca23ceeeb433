#include "host/job_table.h"

#include <utility>

namespace kiv {

namespace {

constexpr unsigned kSerialShift = 32;

} // namespace

std::uint64_t JobTable::add(PendingJob job) {
    std::uint32_t index = firstFree_;
    if (index == kNoSlot) {
        if (slotCount_ == blocks_.size() * kSlotsPerBlock) {
            auto block = std::make_unique<Slot[]>(kSlotsPerBlock);
            blocks_.push_back(std::move(block)); // on failure the block goes with `block`
        }
        index = slotCount_++;
    } else {
        firstFree_ = slotAt(index).nextFree;
    }
    // The serial wraps after four billion jobs; 0 is skipped so that no id is 0.
    if (++lastSerial_ == 0) {
        ++lastSerial_;
    }
    Slot& slot = slotAt(index);
    slot.job = std::move(job);
    slot.id = (std::uint64_t{lastSerial_} << kSerialShift) | index;
    ++pending_;
    return slot.id;
}

JobTable::Slot* JobTable::slotOf(std::uint64_t id) noexcept {
    const auto index = static_cast<std::uint32_t>(id); // the low half
    if (id == 0 || index >= slotCount_ || slotAt(index).id != id) {
        return nullptr;
    }
    return &slotAt(index);
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
    firstFree_ = static_cast<std::uint32_t>(id); // the slot's index, the id's low half
    if (--pending_ == 0) {
        clear();
    }
    return taken;
}

void JobTable::clear() noexcept {
    std::vector<std::unique_ptr<Slot[]>>().swap(blocks_);
    slotCount_ = 0;
    firstFree_ = kNoSlot;
    pending_ = 0;
}

} // namespace kiv
