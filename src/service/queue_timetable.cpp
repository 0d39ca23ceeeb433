#include "service/queue_timetable.h"
#include "platform/ascii.h"

#include "value/value.h"

#include <limits>

namespace kiv {

namespace {

bool isWhiteSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<std::int32_t> readTimetableQueueId(std::string_view memberName) noexcept {
    std::size_t at = 0;
    while (at < memberName.size() && isWhiteSpace(memberName[at])) {
        ++at;
    }
    bool negative = false;
    if (at < memberName.size() && (memberName[at] == '+' || memberName[at] == '-')) {
        negative = memberName[at] == '-';
        ++at;
    }
    if (at == memberName.size() || !platform::isAsciiDigit(memberName[at])) {
        return std::nullopt;
    }
    // The magnitude is gathered in 64 bits and refused as soon as it leaves the 32-bit range,
    // so any run of digits is read without overflow.
    constexpr std::int64_t kLargestMagnitude = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < memberName.size() && platform::isAsciiDigit(memberName[at]); ++at) {
        magnitude = magnitude * 10 + (memberName[at] - '0');
        if (magnitude > kLargestMagnitude) {
            return std::nullopt;
        }
    }
    const std::int64_t id = negative ? -magnitude : magnitude;
    if (id > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(id);
}

QueueLeadTimes readQueueLeadTimes(const Value& timetable) {
    QueueLeadTimes leads;
    if (!timetable.isStructure()) {
        return leads;
    }
    for (const ValueMember member : timetable.members()) {
        const std::optional<std::int32_t> queueId = readTimetableQueueId(member.key);
        if (!queueId) {
            continue;
        }
        const std::int64_t lead = member.value.asInteger(0);
        if (lead > 0) {
            leads[*queueId] = lead;
        }
    }
    return leads;
}

std::int64_t leadMinutesOf(const QueueLeadTimes& leads, std::int32_t queueId) noexcept {
    const auto entry = leads.find(queueId);
    return entry == leads.end() ? kDefaultLeadMinutes : entry->second;
}

} // namespace kiv
