#include "service/queue_timetable.h"
#include "platform/ascii.h"

#include "value/value.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

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
    if (!timetable.isStructure()) {
        return {};
    }
    // Members come in name order, which is not the order of the ids ("10" before "9"): the
    // entries are sorted by id first, the later of one id's entries last, so that the map is
    // built at its end without a search per queue.
    std::vector<std::pair<std::int32_t, std::int64_t>> entries;
    entries.reserve(timetable.size());
    for (const ValueMember member : timetable.members()) {
        const std::optional<std::int32_t> queueId = readTimetableQueueId(member.key);
        if (!queueId) {
            continue;
        }
        const std::int64_t lead = member.value.asInteger(0);
        if (lead > 0) {
            entries.emplace_back(*queueId, lead);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QueueLeadTimes leads;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 == entries.size() || entries[i + 1].first != entries[i].first) {
            leads.emplace_hint(leads.end(), entries[i]);
        }
    }
    return leads;
}

std::int64_t leadMinutesOf(const QueueLeadTimes& leads, std::int32_t queueId) noexcept {
    const auto entry = leads.find(queueId);
    return entry == leads.end() ? kDefaultLeadMinutes : entry->second;
}

} // namespace kiv
