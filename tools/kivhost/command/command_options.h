// What the kivhost commands share on the command line: the plugin option, the scenario argument,
// the help text's closing lines, and how a command's work runs once its command line is parsed.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace CLI {
class App;
} // namespace CLI

namespace kiv::kivhost {

// --plugin PATH; left empty when not given.
void addPluginOption(CLI::App& command, std::string& plugin);
// The optional SCENARIO file ("-": standard input); left empty when not given.
void addScenarioArgument(CLI::App& command, std::string& scenario);
// Closes the command's help with an example and the exit codes.
void setHelpFooter(CLI::App& command, std::string_view example);

// A path given on the command line; an empty text gives none, and the command's default applies.
std::optional<std::filesystem::path> givenPath(const std::string& text);

// Where a command's work runs: in a child process, so that a plugin that ends the process (as
// the shutdown-law library does on a core it refuses) is reported as a failure of the command, or
// in kivhost's own process (serve, which owns its signals and threads).
enum class PluginIsolation { ChildProcess, InProcess };

// Makes `work` the command's action, run on the standard streams once the whole command line is
// parsed; its HostErrors are reported (see reportingHostErrors), output that could not be written
// fails it, and its exit code lands in `exitCode`.
void setCommandWork(CLI::App& command, int& exitCode, PluginIsolation isolation,
                    std::function<int(std::ostream& out, std::ostream& errors)> work);

} // namespace kiv::kivhost
