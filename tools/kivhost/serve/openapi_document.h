// An OpenAPI 3.1 description of a plugin's HTTP functions and types, built from what the plugin
// exports (what `kivhost describe` prints): a path per function template with its parameters and
// answer, a schema per type they name, and the events it may send as webhooks with their
// payloads; and the server's own routes (openapi_controls.json), with the errors each answers.
#pragma once

#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/plugin_info.h"

#include <string>
#include <string_view>

namespace kiv::kivhost {

// `serverUrl`: where the server is reached, such as "http://127.0.0.1:8080".
std::string openApiJson(const PluginInfo& plugin, std::string_view serverUrl);

} // namespace kiv::kivhost
