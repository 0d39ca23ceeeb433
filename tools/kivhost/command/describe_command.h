// `kivhost describe`: a plugin's API as the host sees it in the plugin's ApiExport, as JSON.
#pragma once

#include "kivhost/core/plugin_host.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace kiv::kivhost {

// Each function with its name, method, path template, arguments (location and type) and result
// type; each type with its fields or enum values; each event with its payload type.
std::string describeApi(const PluginInfo& plugin);

// Returns the process's exit code.
int describeCommand(const std::optional<std::filesystem::path>& plugin, std::ostream& out,
                    std::ostream& errors);

} // namespace kiv::kivhost
