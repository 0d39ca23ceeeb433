// What `kivhost run` and `kivhost serve` both start from: the scenario and the plugin library,
// each refused with a message on the error stream when it cannot be used.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

namespace kiv::kivhost {

struct PlayInputs {
    Scenario scenario;
    std::filesystem::path plugin;
};

// The scenario file (the built-in default without one, standard input for "-"), its end of play
// at `untilMs` when given, and the plugin library given (the shutdown-law library next to kivhost
// without one); nullopt when either cannot be used.
std::optional<PlayInputs> loadPlayInputs(const std::optional<std::filesystem::path>& scenarioFile,
                                         const std::optional<std::filesystem::path>& pluginGiven,
                                         std::ostream& errors, std::optional<std::int64_t> untilMs = {});

// The plugin library given, or the shutdown-law library next to kivhost; nullopt, with a message
// on `errors`, when it is missing.
std::optional<std::filesystem::path> findPlugin(const std::optional<std::filesystem::path>& given,
                                                std::ostream& errors);

} // namespace kiv::kivhost
