// The pending jobs of one plugin, by id. Jobs sit in slots, allocated in blocks of many that stay
// where they are as the table grows, and a slot whose job has run or been dropped takes the next
// job: a plan of thousands of jobs takes a heap block per many jobs, never one per job, nor a
// reallocation as large as the whole table. An id names its slot and the job's serial number: an
// id whose job is gone finds nothing, even when its slot holds a later job. The storage goes once
// the last job has.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kiv {

using JobCallback = std::function<void()>;

struct PendingJob {
    JobCallback callback;
    std::uintptr_t token = 0; // what the host's timer holds
};

class JobTable {
  public:
    // Enters the job and returns its id, never 0.
    [[nodiscard]] std::uint64_t add(PendingJob job);
    // The pending job of `id`; nullptr when it is not pending.
    [[nodiscard]] PendingJob* find(std::uint64_t id) noexcept;
    // Takes the job of `id` out; nothing when it is not pending.
    [[nodiscard]] std::optional<PendingJob> take(std::uint64_t id) noexcept;
    // Calls `visit` with each pending job, in no particular order.
    template <class Visit> void forEach(Visit visit) const {
        for (std::uint32_t index = 0; index < slotCount_; ++index) {
            if (const Slot& slot = slotAt(index); slot.id != 0) {
                visit(slot.job);
            }
        }
    }
    // Forgets every job.
    void clear() noexcept;

    [[nodiscard]] std::size_t size() const noexcept { return pending_; }

  private:
    struct Slot {
        PendingJob job;
        std::uint64_t id = 0;       // 0 while the slot is free
        std::uint32_t nextFree = 0; // of a free slot: the free slot after it, or kNoSlot
    };
    static constexpr std::uint32_t kNoSlot = 0xFFFF'FFFFu;
    static constexpr std::uint32_t kSlotsPerBlock = 256;

    [[nodiscard]] Slot& slotAt(std::uint32_t index) const noexcept {
        return blocks_[index / kSlotsPerBlock][index % kSlotsPerBlock];
    }
    [[nodiscard]] Slot* slotOf(std::uint64_t id) noexcept;

    std::vector<std::unique_ptr<Slot[]>> blocks_;
    std::uint32_t slotCount_ = 0;
    std::uint32_t firstFree_ = kNoSlot;
    std::size_t pending_ = 0;
    // Counts the jobs ever entered, and makes the high half of their ids.
    std::uint32_t lastSerial_ = 0;
};

} // namespace kiv
