// The plugin API version: which host cores a plugin built with this framework can run in.
#pragma once

#include <cstdint>
#include <string>

namespace kiv {

struct ApiVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::string prerelease;
    std::string build;

    // The semantic-version text ("18.0.0-beta+7"), as the refusal of an incompatible core and
    // the load record's readers show it.
    std::string text() const;
};

const ApiVersion& pluginApiVersion() noexcept;

// A core can run the plugin when both have the same major version and the core's (minor, patch)
// is at least the plugin's.
bool isCompatible(const ApiVersion& plugin, const ApiVersion& core) noexcept;

} // namespace kiv
