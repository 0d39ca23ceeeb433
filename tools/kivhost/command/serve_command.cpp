#include "kivhost/command/serve_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_options.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace kiv::kivhost {
namespace {

// The command line of `kivhost serve` as CLI11 fills it; empty texts are options not given.
struct ServeCommandLine {
    std::string scenario;
    std::string plugin;
    int port = 0;
    std::string clock = "virtual";
    double speed = 1.0;
    std::vector<std::string> hosts;
    std::vector<std::string> origins;
    bool logRequests = false;
};

} // namespace

void registerServeCommand(CLI::App& app, int& exitCode) {
    auto line = std::make_shared<ServeCommandLine>();
    CLI::App* command = app.add_subcommand(
        "serve", "Serve the plugin on 127.0.0.1 with its events, clock controls and a dashboard, until "
                 "interrupted.");
    addScenarioArgument(*command, line->scenario);
    addPluginOption(*command, line->plugin);
    command->add_option("--port", line->port, "The port; 0 picks a free one")
        ->type_name("N")
        ->check(CLI::Range(0, 65535));
    command
        ->add_option("--clock", line->clock,
                     "virtual: time moves when a client advances it; real: it "
                     "also runs with the real clock")
        ->check(CLI::IsMember({"virtual", "real"}));
    CLI::Option* speed =
        command->add_option("--speed", line->speed, "On the real clock: simulated seconds per real second")
            ->type_name("X")
            ->check(CLI::Range(0.001, 1000000.0));
    command->get_option("--clock")->type_name("virtual|real");
    command
        ->add_option("--allow-origin", line->origins,
                     "An origin whose pages may use the server cross-origin, such as http://localhost:5173 "
                     "(repeatable)")
        ->type_name("ORIGIN");
    command
        ->add_option("--allow-host", line->hosts,
                     "A host name the server answers under besides 127.0.0.1, localhost and [::1] "
                     "(repeatable)")
        ->type_name("HOST");
    command->add_flag("--log-requests", line->logRequests,
                      "Print each request and the status it got on the standard output");
    setHelpFooter(*command, "kivhost serve scenarios/default.yaml --clock real --speed 60");
    setCommandWork(*command, exitCode, PluginIsolation::InProcess,
                   [line, speed](std::ostream& out, std::ostream& errors) {
                       const ServeArguments arguments{givenPath(line->scenario),
                                                      givenPath(line->plugin),
                                                      line->port,
                                                      line->clock == "real" ? ClockKind::Real
                                                                            : ClockKind::Virtual,
                                                      line->speed,
                                                      AccessOptions{line->hosts, line->origins},
                                                      line->logRequests};
                       if (speed->count() > 0 && arguments.clock != ClockKind::Real) {
                           reportError(errors, "--speed paces the real clock; add --clock real");
                           return kExitUsage;
                       }
                       return serveUntilStopped(arguments, out, errors);
                   });
}

} // namespace kiv::kivhost
