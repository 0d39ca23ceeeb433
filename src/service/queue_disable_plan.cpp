#include "service/queue_disable_plan.h"

#include "platform/saturating.h"

namespace kiv {

std::int32_t queueIdOf(std::int64_t listedId) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(listedId));
}

std::int64_t minutesUntilQueueCloses(std::int64_t cutOffMinutes, const QueueLeadTimes& leads,
                                     std::int32_t queueId) noexcept {
    return platform::saturatingSubtract(cutOffMinutes, leadMinutesOf(leads, queueId));
}

} // namespace kiv
