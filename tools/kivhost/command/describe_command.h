// `kivhost describe`: a plugin's API as the host sees it in the plugin's ApiExport, as JSON.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace kiv::kivhost {

// Loads the plugin (the shutdown-law library next to kivhost without one), prints its API and
// returns the exit code.
int describeCommand(const std::optional<std::filesystem::path>& plugin, std::ostream& out);

} // namespace kiv::kivhost
