// `kivhost run`: plays a scenario against a plugin library and prints its timeline.
#pragma once

namespace CLI {
class App;
} // namespace CLI

namespace kiv::kivhost {

// Adds the command, its options and its action to the command line. Its exit code is 0 when the
// scenario was played, 1 when it could not be.
void registerRunCommand(CLI::App& app);

} // namespace kiv::kivhost
