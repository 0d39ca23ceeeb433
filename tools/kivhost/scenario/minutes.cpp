#include "kivhost/scenario/minutes.h"
#include "platform/ascii.h"

#include "kivhost/scenario/scenario.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace kiv::kivhost {
namespace {

// Digits, optionally a point and more digits: what people mean by a number of minutes. strtod
// alone would also take "0x10", "1e3", "inf" and leading spaces.
bool isPlainDecimal(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto allDigits = [](std::string_view part) {
        for (const char c : part) {
            if (!kiv::platform::isAsciiDigit(c)) {
                return false;
            }
        }
        return true;
    };
    const bool fractionGiven = point != std::string_view::npos;
    return !whole.empty() && allDigits(whole) && allDigits(fraction) && (!fractionGiven || !fraction.empty());
}

} // namespace

std::optional<std::int64_t> parseMinutesMs(std::string_view text) {
    if (!isPlainDecimal(text)) {
        return std::nullopt;
    }
    const std::string copy(text); // strtod needs the terminating NUL that a view may lack
    const double minutes = std::strtod(copy.c_str(), nullptr);
    if (minutes > static_cast<double>(kMaxScenarioMinutes)) {
        return std::nullopt;
    }
    return std::llround(minutes * 60000.0);
}

std::string minutesRule() {
    return "must be a decimal number of minutes from 0 to " + std::to_string(kMaxScenarioMinutes);
}

std::string minutesText(std::int64_t ms) {
    std::ostringstream text;
    text << static_cast<double>(ms) / 60000.0;
    return text.str();
}

} // namespace kiv::kivhost
