#include "service/queue_disable_plan.h"

#include "platform/saturating.h"

namespace kiv {

std::int32_t queueIdOf(std::int64_t listedId) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(listedId));
}

QueueDisablePlan planQueueDisables(std::int64_t cutOffMinutes, const QueueLeadTimes& leads,
                                   std::span<const std::int64_t> listedIds) {
    QueueDisablePlan plan;
    plan.listedQueues.reserve(listedIds.size());
    for (const std::int64_t listedId : listedIds) {
        const std::int32_t queueId = queueIdOf(listedId);
        const std::int64_t remaining =
            platform::saturatingSubtract(cutOffMinutes, leadMinutesOf(leads, queueId));
        plan.listedQueues.push_back({queueId, remaining});
    }
    return plan;
}

} // namespace kiv
