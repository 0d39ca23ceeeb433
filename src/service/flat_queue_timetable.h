// The queue-disable timetable read straight from the host's flat record, without a tree made of
// it first: a timetable of thousands of queues would otherwise cost as many tree members.
#pragma once

#include "service/queue_timetable.h"
#include "value/flat_record.h"

namespace kiv {

// The lead times of the timetable record `flat`, the same as readQueueLeadTimes gives for the tree
// flatToValue makes of it. The record is walked whole with flatToValue's defences, bound and error
// texts: on failure the message goes into `failure`, false returns and `leads` is left as it was.
[[nodiscard]] bool readFlatQueueLeadTimes(const FlatValue& flat, QueueLeadTimes& leads, FlatResult& failure);

} // namespace kiv
