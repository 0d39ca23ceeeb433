#include "kivhost/command/play_inputs.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/default_plugin.h"

namespace kiv::kivhost {
namespace {

std::optional<Scenario> loadScenario(const std::optional<std::filesystem::path>& file, std::ostream& errors) {
    try {
        return file ? readScenarioFile(*file)
                    : readScenarioText(defaultScenarioText(), ScenarioFormat::Yaml,
                                       "the built-in default scenario");
    } catch (const ScenarioError& error) {
        reportError(errors, error.what());
        return std::nullopt;
    }
}

std::optional<std::filesystem::path> findPlugin(const std::optional<std::filesystem::path>& given,
                                                std::ostream& errors) {
    std::filesystem::path plugin = given.value_or(defaultPluginLibrary());
    std::error_code ignored;
    if (std::filesystem::exists(plugin, ignored)) {
        return plugin;
    }
    reportError(errors, "the plugin library is missing: " + plugin.string());
    if (!given) {
        reportError(errors, "build the shutdown-law library, or pick another with --plugin PATH");
    }
    return std::nullopt;
}

} // namespace

std::optional<PlayInputs> loadPlayInputs(const std::optional<std::filesystem::path>& scenarioFile,
                                         const std::optional<std::filesystem::path>& pluginGiven,
                                         std::ostream& errors) {
    std::optional<Scenario> scenario = loadScenario(scenarioFile, errors);
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
