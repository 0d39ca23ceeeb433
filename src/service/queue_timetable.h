// The queue-disable timetable: how many minutes before the cut-off each game queue closes. The
// platform configuration serves it as an object whose member names are queue ids in decimal and
// whose values are lead times in minutes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

class Value;

// The queue that is not in the game-queue list; it always gets a disable job.
inline constexpr std::int32_t kCustomQueueId = -2;
// The lead of every queue that the timetable does not name with a positive lead.
inline constexpr std::int64_t kDefaultLeadMinutes = 75;

// Queue id to lead minutes, sorted by id with one entry per id; holds positive leads only. A flat
// sorted vector: it is built once per timetable read and then only searched, once per queue.
using QueueLeadTimes = std::vector<std::pair<std::int32_t, std::int64_t>>;

// One timetable member that names a queue, as read from a tree or a flat record.
struct TimetableMember {
    std::int32_t queueId = 0;
    std::string_view name;
    std::uint32_t place = 0;  // among the members as they came
    std::int64_t minutes = 0; // the member's value as Value::asInteger(0) reads it
};

// A member name read as a queue id: leading white space, one optional sign, then decimal
// digits up to the first other character ("12x" is queue 12). Nothing when no digit follows
// the sign or the number lies outside the signed 32-bit range: such a name names no queue.
[[nodiscard]] std::optional<std::int32_t> readTimetableQueueId(std::string_view memberName) noexcept;

// The lead times that a timetable's members give, in whatever order they come (the vector is
// sorted in place). Of members under one name the last to come counts, as it replaces the others
// in a tree; of the names of one queue, the last in byte order whose lead is positive counts.
// Leads that are not positive (0, negative, null, not numeric) are left out, so that a queue
// named only with such leads keeps the default.
[[nodiscard]] QueueLeadTimes leadTimesOf(std::vector<TimetableMember>& members);

// The lead times of a timetable document, as leadTimesOf gives them for its members. Anything
// but a Structure gives no entries.
[[nodiscard]] QueueLeadTimes readQueueLeadTimes(const Value& timetable);

// The lead of one queue: its timetable entry, else the default.
[[nodiscard]] std::int64_t leadMinutesOf(const QueueLeadTimes& leads, std::int32_t queueId) noexcept;

} // namespace kiv
