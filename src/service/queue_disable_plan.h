// When the listed game queues close, in minutes from the packet that set the cut-off: the cut-off
// minus each queue's lead from the timetable.
#pragma once

#include "service/queue_timetable.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kiv {

struct QueueDisableJob {
    std::int32_t queueId = 0;
    std::int64_t remainingMinutes = 0; // from the packet's arrival until the queue closes
};

struct QueueDisablePlan {
    std::vector<QueueDisableJob> listedQueues; // one per list element, in list order
};

// The queue id of one element of the game-queue list: the integer its `id` gives, read leniently
// (missing is 0), truncated to its low 32 bits.
[[nodiscard]] std::int32_t queueIdOf(std::int64_t listedId) noexcept;

// One job per listed id, in list order.
[[nodiscard]] QueueDisablePlan planQueueDisables(std::int64_t cutOffMinutes, const QueueLeadTimes& leads,
                                                 std::span<const std::int64_t> listedIds);

} // namespace kiv
