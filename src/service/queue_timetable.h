// The queue-disable timetable: how many minutes before the cut-off each game queue closes. The
// platform configuration serves it as an object whose member names are queue ids in decimal and
// whose values are lead times in minutes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace kiv {

class Value;

// The queue that is not in the game-queue list; it always gets a disable job.
inline constexpr std::int32_t kCustomQueueId = -2;
// The lead of every queue that the timetable does not name with a positive lead.
inline constexpr std::int64_t kDefaultLeadMinutes = 75;

// Queue id to lead minutes; holds positive leads only.
using QueueLeadTimes = std::map<std::int32_t, std::int64_t>;

// A member name read as a queue id: leading white space, one optional sign, then decimal
// digits up to the first other character ("12x" is queue 12). Nothing when no digit follows
// the sign or the number lies outside the signed 32-bit range: such a name names no queue.
[[nodiscard]] std::optional<std::int32_t> readTimetableQueueId(std::string_view memberName) noexcept;

// The lead times of a timetable document. Members in key order; a later member naming the same
// queue replaces an earlier one; leads that are not positive (0, negative, null, not numeric)
// are left out, so that queue keeps the default. Anything but a Structure gives no entries.
[[nodiscard]] QueueLeadTimes readQueueLeadTimes(const Value& timetable);

// The lead of one queue: its timetable entry, else the default.
[[nodiscard]] std::int64_t leadMinutesOf(const QueueLeadTimes& leads, std::int32_t queueId) noexcept;

} // namespace kiv
