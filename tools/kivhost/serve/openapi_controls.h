// The server's own routes as OpenAPI: openapi_controls.json, built into the binary. Its `tags`,
// `paths` and `components` join those the plugin's export makes.
#pragma once

#include <string_view>

namespace kiv::kivhost {

std::string_view openApiControls() noexcept;

} // namespace kiv::kivhost
