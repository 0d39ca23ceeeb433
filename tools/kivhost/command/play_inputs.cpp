#include "kivhost/command/play_inputs.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/default_plugin.h"

#include <iostream>

namespace kiv::kivhost {
namespace {

// "-" is standard input, read as YAML (which takes JSON too, though the YAML reader rounds
// integers beyond 2^53 where the JSON reader keeps them).
Scenario readScenarioInput(std::optional<std::int64_t> untilMs) {
    return readScenarioStream(std::cin, ScenarioFormat::Yaml, "standard input", untilMs);
}

std::optional<Scenario> loadScenario(const std::optional<std::filesystem::path>& file,
                                     std::optional<std::int64_t> untilMs, std::ostream& errors) {
    try {
        if (file && *file == "-") {
            return readScenarioInput(untilMs);
        }
        return file ? readScenarioFile(*file, untilMs)
                    : readScenarioText(defaultScenarioText(), ScenarioFormat::Yaml,
                                       "the built-in default scenario", untilMs);
    } catch (const ScenarioError& error) {
        reportError(errors, error.what());
        return std::nullopt;
    }
}

} // namespace

std::optional<std::filesystem::path> findPlugin(const std::optional<std::filesystem::path>& given,
                                                std::ostream& errors) {
    std::filesystem::path plugin = given.value_or(defaultPluginLibrary());
    std::error_code ignored;
    // A bare name that is no file here is looked up in the library search path when it loads.
    if (std::filesystem::exists(plugin, ignored) || !plugin.has_parent_path()) {
        return plugin;
    }
    reportError(errors, "the plugin library is missing: " + plugin.string());
    if (!given) {
        reportError(errors, "build the shutdown-law library, or pick another with --plugin PATH");
    }
    return std::nullopt;
}

std::optional<PlayInputs> loadPlayInputs(const std::optional<std::filesystem::path>& scenarioFile,
                                         const std::optional<std::filesystem::path>& pluginGiven,
                                         std::ostream& errors, std::optional<std::int64_t> untilMs) {
    std::optional<Scenario> scenario = loadScenario(scenarioFile, untilMs, errors);
    if (!scenario) {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> plugin = findPlugin(pluginGiven, errors);
    if (!plugin) {
        return std::nullopt;
    }
    return PlayInputs{std::move(*scenario), std::move(*plugin)};
}

} // namespace kiv::kivhost
