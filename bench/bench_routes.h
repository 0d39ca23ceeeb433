// The routes of the dispatch and route-lookup benchmarks: a queue-status handler with one
// int32 argument and a structure result, as a plugin registers it.
#pragma once

#include "binding/binding_registry.h"
#include "router/call_context.h"
#include "router/router.h"

#include <cstdint>
#include <string>

namespace kiv::bench {

struct QueueStatus {
    std::int32_t queueId = 0;
    bool isDisabled = false;
};

// The handler's logic, shared by our route and the hand-written floor.
inline QueueStatus queueStatusOf(std::int32_t queueId) {
    return {queueId, queueId == 450};
}

// Declares QueueStatus in the registry (once per registry).
void declareQueueStatus(BindingRegistry& registry);

// Registers GET `pathTemplate` whose one path parameter "queue_id" is the handler's argument.
void addQueueStatusRoute(Router& router, const std::string& pathTemplate);

} // namespace kiv::bench
