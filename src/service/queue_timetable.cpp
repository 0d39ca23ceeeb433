#include "service/queue_timetable.h"
#include "platform/ascii.h"

#include "value/value.h"

#include <algorithm>
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

QueueLeadTimes leadTimesOf(std::vector<TimetableMember>& members) {
    std::sort(members.begin(), members.end(), [](const TimetableMember& a, const TimetableMember& b) {
        if (a.queueId != b.queueId) {
            return a.queueId < b.queueId;
        }
        return a.name != b.name ? a.name < b.name : a.place < b.place;
    });
    QueueLeadTimes leads;
    const TimetableMember* counted = nullptr; // of the queue at hand
    for (std::size_t i = 0; i < members.size(); ++i) {
        const TimetableMember& member = members[i];
        const TimetableMember* next = i + 1 < members.size() ? &members[i + 1] : nullptr;
        const bool lastOfQueue = !next || next->queueId != member.queueId;
        const bool lastOfName = lastOfQueue || next->name != member.name;
        if (lastOfName && member.minutes > 0) {
            counted = &member;
        }
        if (lastOfQueue) {
            if (counted) {
                leads.emplace_back(counted->queueId, counted->minutes);
            }
            counted = nullptr;
        }
    }
    return leads;
}

QueueLeadTimes readQueueLeadTimes(const Value& timetable) {
    if (!timetable.isStructure()) {
        return {};
    }
    std::vector<TimetableMember> members;
    members.reserve(timetable.size());
    for (const ValueMember member : timetable.members()) {
        if (const std::optional<std::int32_t> queueId = readTimetableQueueId(member.key)) {
            members.push_back({*queueId, member.key, static_cast<std::uint32_t>(members.size()),
                               member.value.asInteger(0)});
        }
    }
    return leadTimesOf(members);
}

std::int64_t leadMinutesOf(const QueueLeadTimes& leads, std::int32_t queueId) noexcept {
    const auto entry = std::lower_bound(leads.begin(), leads.end(), queueId,
                                        [](const auto& lead, std::int32_t id) { return lead.first < id; });
    return entry == leads.end() || entry->first != queueId ? kDefaultLeadMinutes : entry->second;
}

} // namespace kiv
