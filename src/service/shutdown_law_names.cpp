#include "service/shutdown_law_names.h"

namespace kiv {

std::string queueStatusPath(std::int32_t queueId) {
    return "/kiv-kr-shutdown-law/v1/queue-status/" + std::to_string(queueId);
}

std::string disableQueueJobName(std::int32_t queueId) {
    return "kiv-kr-shutdown-law.disable-queue." + std::to_string(queueId);
}

} // namespace kiv
