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

    // "18.0.0", then "-" and the prerelease text and "+" and the build text when they are set.
    std::string text() const;
};

// The version of the plugin API this framework implements: 18.0.0.
const ApiVersion& pluginApiVersion() noexcept;

// A core can run the plugin when both have the same major version and the core's (minor, patch)
// is at least the plugin's.
bool isCompatible(const ApiVersion& plugin, const ApiVersion& core) noexcept;

} // namespace kiv
