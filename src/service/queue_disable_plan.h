// When the listed game queues close, in minutes from the packet that set the cut-off: the cut-off
// minus each queue's lead from the timetable.
#pragma once

#include "service/queue_timetable.h"

#include <cstdint>

namespace kiv {

// The queue id of one element of the game-queue list: the integer its `id` gives, read leniently
// (missing is 0), truncated to its low 32 bits.
[[nodiscard]] std::int32_t queueIdOf(std::int64_t listedId) noexcept;

// The minutes from the packet's arrival until the queue closes: the cut-off minus the queue's
// lead, saturated. Computed per queue as a plan walks the list, so that a plan of thousands of
// queues keeps no list of its own beside the one it reads.
[[nodiscard]] std::int64_t minutesUntilQueueCloses(std::int64_t cutOffMinutes, const QueueLeadTimes& leads,
                                                   std::int32_t queueId) noexcept;

} // namespace kiv
