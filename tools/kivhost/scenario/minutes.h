// A number of minutes as people type it on a command line or in a URL: "90", "1.5".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {

// The whole text as a decimal number of minutes (digits, optionally a point and digits) from 0 to
// kMaxScenarioMinutes, in milliseconds (rounded to the nearest); nullopt for anything else (empty, trailing
// text, negative, not a number, too large).
std::optional<std::int64_t> parseMinutesMs(std::string_view text);

// A time in minutes as messages write it: 215, 1.5.
std::string minutesText(std::int64_t ms);

// "must be a number of minutes from 0 to ...": what to tell someone whose text was refused.
std::string minutesRule();

} // namespace kiv::kivhost
