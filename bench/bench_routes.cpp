#include "bench_routes.h"

#include "binding/binding_declaration.h"

namespace kiv::bench {

void declareQueueStatus(BindingRegistry& registry) {
    declareStruct<QueueStatus>(
        registry, {"QueueStatus"},
        {{"queueId", &QueueStatus::queueId}, {"isDisabled", &QueueStatus::isDisabled}});
}

void addQueueStatusRoute(Router& router, const std::string& pathTemplate) {
    router.addGet(pathTemplate, [](CallContext&, std::int32_t queueId) { return queueStatusOf(queueId); })
        .pathArgument("queue_id");
}

} // namespace kiv::bench
