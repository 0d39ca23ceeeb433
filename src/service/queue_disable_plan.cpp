#include "service/queue_disable_plan.h"

#include "platform/saturating.h"
#include "value/value.h"

#include <algorithm>
#include <limits>

namespace kiv {

std::int32_t queueIdOf(const Value& queue) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(queue["id"].asInteger(0)));
}

QueueDisablePlan planQueueDisables(std::int64_t cutOffMinutes, const QueueLeadTimes& leads,
                                   std::span<const Value> queueList) {
    QueueDisablePlan plan;
    plan.allQueuesMinutes = std::numeric_limits<std::int64_t>::min();
    plan.listedQueues.reserve(queueList.size());
    for (const Value& queue : queueList) {
        const std::int32_t queueId = queueIdOf(queue);
        const std::int64_t remaining =
            platform::saturatingSubtract(cutOffMinutes, leadMinutesOf(leads, queueId));
        plan.allQueuesMinutes = std::max(plan.allQueuesMinutes, remaining);
        plan.listedQueues.push_back({queueId, remaining});
    }
    return plan;
}

} // namespace kiv
