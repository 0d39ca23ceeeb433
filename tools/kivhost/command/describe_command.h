// `kivhost describe`: a plugin's API as the host sees it in the plugin's ApiExport, as JSON.
#pragma once

namespace CLI {
class App;
} // namespace CLI

namespace kiv::kivhost {

// Adds the command, its option and its action to the command line; the action's exit code lands
// in `exitCode`.
void registerDescribeCommand(CLI::App& app, int& exitCode);

} // namespace kiv::kivhost
