// What `kivhost run` and `kivhost serve` both start from: the scenario and the plugin library,
// each refused with a message on the error stream when it cannot be used.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace kiv::kivhost {

// The scenario file, or the built-in default without one.
std::optional<Scenario> loadScenario(const std::optional<std::filesystem::path>& file, std::ostream& errors);

// The plugin library given, or the shutdown-law library next to kivhost; nullopt when it is missing.
std::optional<std::filesystem::path> findPlugin(const std::optional<std::filesystem::path>& given,
                                                std::ostream& errors);

} // namespace kiv::kivhost
