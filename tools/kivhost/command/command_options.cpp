#include "kivhost/command/command_options.h"

#include "kivhost/command/command_failure.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace kiv::kivhost {

void addPluginOption(CLI::App& command, std::string& plugin) {
    command.add_option("--plugin", plugin,
                       "The plugin library (default: kiv_kr_shutdown_law next to kivhost)");
}

void addScenarioArgument(CLI::App& command, std::string& scenario) {
    command.add_option("scenario", scenario,
                       "A YAML or JSON scenario file; the built-in default without one");
}

std::optional<std::filesystem::path> givenPath(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

void setCommandWork(CLI::App& command, std::function<int(std::ostream& out, std::ostream& errors)> work) {
    command.callback([work = std::move(work)] {
        const int exitCode =
            reportingHostErrors(std::cout, std::cerr, [&] { return work(std::cout, std::cerr); });
        // CLI11's way out of a callback: CLI11_PARSE returns the code without printing anything.
        if (exitCode != 0) {
            throw CLI::RuntimeError(exitCode);
        }
    });
}

} // namespace kiv::kivhost
