#include "host/api_version.h"

#include "format/message_format.h"

#include <tuple>

namespace kiv {

std::string ApiVersion::text() const {
    std::string result = formatMessage("%1.%2.%3", {major, minor, patch});
    if (!prerelease.empty()) {
        result += '-';
        result += prerelease;
    }
    if (!build.empty()) {
        result += '+';
        result += build;
    }
    return result;
}

const ApiVersion& pluginApiVersion() noexcept {
    static const ApiVersion version{18, 0, 0, {}, {}};
    return version;
}

bool isCompatible(const ApiVersion& plugin, const ApiVersion& core) noexcept {
    return core.major == plugin.major &&
           std::tie(core.minor, core.patch) >= std::tie(plugin.minor, plugin.patch);
}

} // namespace kiv
