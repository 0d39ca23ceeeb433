#include "kivhost/core/kivhost_types.h"

#include <charconv>

namespace kiv::kivhost {

std::optional<CoreVersion> CoreVersion::parse(std::string_view text) {
    std::uint32_t words[3];
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (at == end || *at != '.') {
                return std::nullopt;
            }
            ++at;
        }
        // from_chars accepts neither a sign nor spaces, and refuses numbers beyond 32 bits.
        const auto [next, error] = std::from_chars(at, end, words[i]);
        if (error != std::errc() || next == at) {
            return std::nullopt;
        }
        at = next;
    }
    if (at != end) {
        return std::nullopt;
    }
    return CoreVersion{words[0], words[1], words[2]};
}

std::string CoreVersion::text() const {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

// kivhost's own copy of the version rule, kept apart from the plugin's so that it checks it.
bool CoreVersion::accepts(const CoreVersion& plugin) const noexcept {
    if (plugin.major != major) {
        return false;
    }
    return plugin.minor < minor || (plugin.minor == minor && plugin.patch <= patch);
}

} // namespace kiv::kivhost
