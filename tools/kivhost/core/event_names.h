// The host event name under which the platform announces changes of a resource path.
#pragma once

#include <string>
#include <string_view>

namespace kiv::kivhost {

// "OnJsonApiEvent" followed by the path's first three non-empty segments (five below
// "kiv-platform-config"), joined with "_": /kiv-login/v1/login-data-packet gives
// OnJsonApiEvent_kiv-login_v1_login-data-packet.
std::string eventNameForPath(std::string_view path);

} // namespace kiv::kivhost
