#include "service/shutdown_law_readers.h"

#include "service/flat_queue_timetable.h"

namespace kiv {

bool TimetableReader::readFlat(const FlatValue& data, FlatResult& failure) {
    return readFlatQueueLeadTimes(data, leads, failure);
}

} // namespace kiv
