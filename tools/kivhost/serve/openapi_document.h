// An OpenAPI 3.1 description of a plugin's HTTP functions and types, built from what the plugin
// exports (what `kivhost describe` prints): a path per function template with its parameters and
// answer, a schema per type, and the events it may send as webhooks with their payloads.
#pragma once

#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/plugin_info.h"

#include <string>

namespace kiv::kivhost {

std::string openApiJson(const PluginInfo& plugin);

} // namespace kiv::kivhost
