// Timelines: one line per happening, in the order the host recorded them. The readable form
// starts each line with the host's time as hh:mm:ss; the JSON-lines form writes one object per
// line with the time in seconds as `t` and the happening's `type`.
#pragma once

#include "kivhost/core/happening.h"
#include "kivhost/core/json_text.h"

#include <cstdint>
#include <string>

namespace kiv::kivhost {

// hh:mm:ss, with .mmm when the milliseconds are not 0; hours grow past 24 as needed.
std::string clockText(std::int64_t ms);

// A line of the readable timeline, without its end of line.
std::string timelineText(const Happening& happening);

// A time in seconds with millisecond resolution, as timelines write it: 5400 or 5400.5.
void writeSeconds(JsonWriter& writer, std::int64_t ms);

// The version of the JSON-lines form, written in each load line as `format`: it changes when a
// line's members change their meaning or go away, so that scripts can tell.
inline constexpr unsigned kTimelineJsonFormat = 1;

// A line of the JSON-lines timeline, without its end of line.
std::string timelineJson(const Happening& happening);

} // namespace kiv::kivhost
