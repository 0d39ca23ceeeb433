// What the kivhost commands share on the command line: the plugin option, the scenario argument,
// and how a command's work runs once its command line is parsed.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
} // namespace CLI

namespace kiv::kivhost {

// --plugin PATH; left empty when not given.
void addPluginOption(CLI::App& command, std::string& plugin);
// The optional scenario file; left empty when not given.
void addScenarioArgument(CLI::App& command, std::string& scenario);

// A path given on the command line; an empty text gives none, and the command's default applies.
std::optional<std::filesystem::path> givenPath(const std::string& text);

// Makes `work` the command's action, run on the standard streams once the whole command line is
// parsed; its HostErrors are reported (see reportingHostErrors), and the exit code it returns
// becomes the process's.
void setCommandWork(CLI::App& command, std::function<int(std::ostream& out, std::ostream& errors)> work);

} // namespace kiv::kivhost
