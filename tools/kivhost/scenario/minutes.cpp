#include "kivhost/scenario/minutes.h"

#include "kivhost/scenario/scenario.h"

#include <cmath>
#include <cstdlib>

namespace kiv::kivhost {

std::optional<std::int64_t> parseMinutesMs(std::string_view text) {
    const std::string copy(text); // strtod needs the terminating NUL that a view may lack
    char* end = nullptr;
    const double minutes = std::strtod(copy.c_str(), &end);
    const bool whole = !copy.empty() && end == copy.c_str() + copy.size();
    if (!whole || !(minutes >= 0.0) || minutes > static_cast<double>(kMaxScenarioMinutes)) {
        return std::nullopt;
    }
    return std::llround(minutes * 60000.0);
}

std::string minutesRule() {
    return "must be a number of minutes from 0 to " + std::to_string(kMaxScenarioMinutes);
}

} // namespace kiv::kivhost
