#include "host/event_names.h"

#include <algorithm>
#include <cstddef>

namespace kiv {

namespace {

constexpr std::size_t kSegmentsKept = 3;
constexpr std::size_t kPlatformConfigSegmentsKept = 5;
constexpr std::string_view kPlatformConfigSegment = "kiv-platform-config";

} // namespace

std::string eventNameForPath(std::string_view path) {
    std::string name(kJsonApiEventName);
    std::size_t kept = 0;
    std::size_t limit = kSegmentsKept;
    std::size_t position = 0;
    while (kept < limit) {
        const std::size_t start = path.find_first_not_of('/', position);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (kept == 0 && segment == kPlatformConfigSegment) {
            limit = kPlatformConfigSegmentsKept;
        }
        name += '_';
        name += segment;
        ++kept;
        position = end;
    }
    return name;
}

bool pathMatchesPattern(std::string_view pattern, std::string_view path) noexcept {
    std::size_t p = 0;
    std::size_t s = 0;
    while (p < pattern.size() && s < path.size()) {
        if (pattern[p] != '*') {
            if (pattern[p] != path[s]) {
                return false;
            }
            ++p;
            ++s;
        } else if (path[s] == '/') {
            ++p;
        } else {
            ++s;
            if (s == path.size()) {
                ++p;
            }
        }
    }
    return p == pattern.size() && s == path.size();
}

} // namespace kiv
