// How resource paths meet host events: the host event name that carries a path's changes, and
// the patterns with which a plugin observes a family of paths.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// The generic event name under which every resource event is also announced.
inline constexpr std::string_view kJsonApiEventName = "OnJsonApiEvent";

// "OnJsonApiEvent" joined by "_" with the path's first three non-empty segments (five below
// "kiv-platform-config"): /kiv-login/v1/login-data-packet gives
// OnJsonApiEvent_kiv-login_v1_login-data-packet. Deeper paths share their ancestor's event, and
// the plugin tells them apart itself.
[[nodiscard]] std::string eventNameForPath(std::string_view path);

// Whether the path matches the pattern: every character but "*" matches itself, and "*" a run of
// characters without "/" — empty only where a "/" follows, and ending the pattern's segment, so
// /a/* matches /a/b but neither /a/ nor /a/b/c.
[[nodiscard]] bool pathMatchesPattern(std::string_view pattern, std::string_view path) noexcept;

// Whether a path observes a pattern (contains "*") rather than one resource.
[[nodiscard]] inline bool isPathPattern(std::string_view path) noexcept {
    return path.find('*') != std::string_view::npos;
}

} // namespace kiv
