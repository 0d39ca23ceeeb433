// `kivhost run`: plays a scenario against a plugin library and prints its timeline.
#pragma once

#include "kivhost/core/host_options.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

namespace kiv::kivhost {

struct RunArguments {
    std::optional<std::filesystem::path> scenario; // the built-in default without one
    std::optional<std::filesystem::path> plugin;   // the shutdown-law library next to kivhost without one
    bool json = false;
    std::optional<CoreVersion> core;
    std::optional<double> untilMinutes;
    std::uint32_t streamChunkBytes = 0;
    bool realClock = false;
};

// Returns the process's exit code: 0 when the scenario was played, 1 when it could not be.
int runCommand(const RunArguments& arguments, std::ostream& out, std::ostream& errors);

} // namespace kiv::kivhost
