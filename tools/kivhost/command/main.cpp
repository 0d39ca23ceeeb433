// kivhost: the development host. `kivhost run` plays a scenario against a plugin library on the
// virtual clock and prints what happens; `kivhost serve` puts the plugin on a local HTTP port
// with a dashboard; `kivhost describe` prints the plugin's API.
#include "kivhost/command/describe_command.h"
#include "kivhost/command/run_command.h"
#include "kivhost/command/serve_command.h"
#include "kivhost/scenario/minutes.h"
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
    return kiv::kivhost::parseMinutesMs(text) ? std::string() : kiv::kivhost::minutesRule();
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

    ServeArguments serve;
    std::string serveScenario;
    std::string servePlugin;
    std::string clock = "virtual";
    CLI::App* serveCommandLine = app.add_subcommand(
        "serve", "Serve the plugin on 127.0.0.1 with its events, clock controls and a dashboard, until "
                 "interrupted.");
    serveCommandLine->add_option("scenario", serveScenario,
                                 "A YAML or JSON scenario file; the built-in default without one");
    serveCommandLine->add_option("--plugin", servePlugin,
                                 "The plugin library (default: kiv_kr_shutdown_law next to kivhost)");
    serveCommandLine->add_option("--port", serve.port, "The port; 0 picks a free one")
        ->check(CLI::Range(0, 65535));
    serveCommandLine
        ->add_option("--clock", clock,
                     "virtual: time moves when a client advances it; real: it "
                     "also runs with the real clock")
        ->check(CLI::IsMember({"virtual", "real"}));
    CLI::Option* speedOption =
        serveCommandLine
            ->add_option("--speed", serve.speed, "On the real clock: simulated seconds per real second")
            ->check(CLI::Range(0.001, 1000000.0));

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
    if (serveCommandLine->parsed()) {
        if (!serveScenario.empty())
            serve.scenario = serveScenario;
        if (!servePlugin.empty())
            serve.plugin = servePlugin;
        serve.clock = clock == "real" ? ClockKind::Real : ClockKind::Virtual;
        if (speedOption->count() > 0 && serve.clock != ClockKind::Real) {
            std::cerr << "kivhost: --speed paces the real clock; add --clock real\n";
            return 1;
        }
        return serveCommand(serve, std::cout, std::cerr);
    }
    std::optional<std::filesystem::path> library;
    if (!describedPlugin.empty())
        library = describedPlugin;
    return describeCommand(library, std::cout, std::cerr);
}
