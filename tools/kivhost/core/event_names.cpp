#include "kivhost/core/event_names.h"

#include <cstddef>

namespace kiv::kivhost {

// kivhost's own copy of the event naming rule, kept apart from the plugin's so that it checks it.
std::string eventNameForPath(std::string_view path) {
    constexpr std::string_view kGenericName = "OnJsonApiEvent";
    // Platform-config namespaces sit deeper than other plugins' resources, so their events are
    // told apart by two more segments.
    constexpr std::string_view kDeepPlugin = "kiv-platform-config";
    std::string name(kGenericName);
    std::size_t segments = 0;
    std::size_t limit = 3;
    std::size_t at = 0;
    while (segments < limit) {
        while (at < path.size() && path[at] == '/') {
            ++at;
        }
        if (at == path.size()) {
            break;
        }
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view segment = path.substr(at, end - at);
        if (segments == 0 && segment == kDeepPlugin) {
            limit = 5;
        }
        name += '_';
        name += segment;
        ++segments;
        at = end;
    }
    return name;
}

} // namespace kiv::kivhost
