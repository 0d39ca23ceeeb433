#include "kivhost/command/command_options.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/platform/child_process.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace kiv::kivhost {

void addPluginOption(CLI::App& command, std::string& plugin) {
    command
        .add_option("--plugin", plugin,
                    "The plugin library (default: kiv_kr_shutdown_law next to kivhost); a name without a "
                    "folder is a file in the current folder, else looked up in the library search path")
        ->type_name("PATH");
}

void addScenarioArgument(CLI::App& command, std::string& scenario) {
    command
        .add_option("SCENARIO", scenario,
                    "A YAML or JSON scenario file, - for standard input (YAML); the built-in default "
                    "without one")
        ->type_name("");
}

void setHelpFooter(CLI::App& command, std::string_view example) {
    command.footer(
        "Example:\n  " + std::string(example) +
        "\n\nExit status: 0 success; 1 a failure the run found (a refused scenario, a library that "
        "cannot load or ends the process, output that cannot be written); 2 a command line that "
        "cannot be taken.");
}

std::optional<std::filesystem::path> givenPath(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

void setCommandWork(CLI::App& command, int& exitCode, PluginIsolation isolation,
                    std::function<int(std::ostream& out, std::ostream& errors)> work) {
    command.callback([&exitCode, isolation, work = std::move(work)] {
        const auto attempt = [&] {
            return checkedOutput(
                reportingHostErrors(std::cout, std::cerr, [&] { return work(std::cout, std::cerr); }),
                std::cerr);
        };
        if (isolation == PluginIsolation::InProcess) {
            exitCode = attempt();
            return;
        }
        const ChildOutcome outcome = runInChildProcess(attempt, std::cerr, "kivhost: ");
        exitCode = outcome.exitCode;
        if (outcome.signal != 0) {
            reportError(std::cerr, "the plugin library ended the process (" + signalName(outcome.signal) +
                                       "); the lines above are what it wrote");
            exitCode = kExitFailure;
        }
    });
}

} // namespace kiv::kivhost
