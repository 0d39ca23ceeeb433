// kivhost: the development host. `kivhost run` plays a scenario against a plugin library on the
// virtual clock and prints what happens; `kivhost describe` prints the plugin's API.
#include "kivhost/command/describe_command.h"
#include "kivhost/command/run_command.h"
#include "kivhost/scenario/scenario.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

std::string checkCoreVersion(const std::string& text) {
    return kiv::kivhost::CoreVersion::parse(text) ? std::string() : "must be a version such as 18.0.0";
}

std::string checkMinutes(const std::string& text) {
    char* end = nullptr;
    const double minutes = std::strtod(text.c_str(), &end);
    const bool whole = end && *end == '\0' && !text.empty();
    if (whole && minutes >= 0.0 && minutes <= static_cast<double>(kiv::kivhost::kMaxScenarioMinutes))
        return {};
    return "must be a number of minutes from 0 to " + std::to_string(kiv::kivhost::kMaxScenarioMinutes);
}

} // namespace

int main(int argc, char** argv) {
    using namespace kiv::kivhost;
    CLI::App app("The development host: loads a plugin library through its export, plays the platform "
                 "around it and shows what the plugin does.",
                 "kivhost");
    app.require_subcommand(1);

    RunArguments run;
    std::string scenario;
    std::string plugin;
    std::string core;
    double untilMinutes = 0.0;
    CLI::App* runCommandLine =
        app.add_subcommand("run", "Play a scenario on the virtual clock and print its timeline.");
    runCommandLine->add_option("scenario", scenario,
                               "A YAML or JSON scenario file; the built-in default without one");
    runCommandLine->add_option("--plugin", plugin,
                               "The plugin library (default: kiv_kr_shutdown_law next to kivhost)");
    runCommandLine->add_flag("--json", run.json, "One JSON object per line instead of the readable timeline");
    runCommandLine->add_option("--core", core, "The core plugin-API version at load, X.Y.Z")
        ->check(checkCoreVersion);
    runCommandLine->add_option("--until", untilMinutes, "Minutes of time to play")->check(checkMinutes);
    runCommandLine
        ->add_option("--stream", run.streamChunkBytes,
                     "Answer the plugin's GETs as streamed bodies of this many bytes per read")
        ->check(CLI::Range(1u, 1u << 24));
    runCommandLine->add_flag("--real-clock", run.realClock, "Run timers and steps on the real clock");

    CLI::App* describeCommandLine =
        app.add_subcommand("describe", "Print the plugin's API as the host sees it in its export, as JSON.");
    std::string describedPlugin;
    describeCommandLine->add_option("--plugin", describedPlugin,
                                    "The plugin library (default: kiv_kr_shutdown_law next to kivhost)");

    CLI11_PARSE(app, argc, argv);

    if (runCommandLine->parsed()) {
        if (!scenario.empty())
            run.scenario = scenario;
        if (!plugin.empty())
            run.plugin = plugin;
        if (!core.empty())
            run.core = CoreVersion::parse(core);
        if (runCommandLine->count("--until") > 0)
            run.untilMinutes = untilMinutes;
        return runCommand(run, std::cout, std::cerr);
    }
    std::optional<std::filesystem::path> library;
    if (!describedPlugin.empty())
        library = describedPlugin;
    return describeCommand(library, std::cout, std::cerr);
}
