// `kivhost run`: plays a scenario against a plugin library and prints its timeline.
#pragma once

namespace CLI {
class App;
} // namespace CLI

namespace kiv::kivhost {

// Adds the command, its options and its action to the command line; the action's exit code (0
// when the scenario was played, 1 when it could not be) lands in `exitCode`.
void registerRunCommand(CLI::App& app, int& exitCode);

} // namespace kiv::kivhost
