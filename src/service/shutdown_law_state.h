// Everything the shutdown law knows. It starts from these values in every process and is never
// persisted.
#pragma once

#include "service/queue_timetable.h"
#include "service/shutdown_law_types.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kiv {

struct ShutdownLawState {
    // Queues closed so far, in the order they closed; never holds an id twice.
    std::vector<std::int32_t> disabledQueues;
    Brix::Client::ShutdownLaw::Api::ShutdownLawStatus status =
        Brix::Client::ShutdownLaw::Api::ShutdownLawStatus::NONE;
    // Set when the last queue of the list as last read has closed; never cleared.
    bool isAllQueuesDisabled = false;
    // Lead times of the last timetable read.
    QueueLeadTimes queueDisableMinutes;

    bool isQueueDisabled(std::int32_t queueId) const noexcept {
        return std::find(disabledQueues.begin(), disabledQueues.end(), queueId) != disabledQueues.end();
    }
};

} // namespace kiv
