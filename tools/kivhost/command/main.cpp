// kivhost: the development host. `kivhost run` plays a scenario against a plugin library on the
// virtual clock and prints what happens; `kivhost serve` puts the plugin on a local HTTP port
// with a dashboard; `kivhost describe` prints the plugin's API.
#include "kivhost/command/describe_command.h"
#include "kivhost/command/run_command.h"
#include "kivhost/command/serve_command.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app("The development host: loads a plugin library through its export, plays the platform "
                 "around it and shows what the plugin does.",
                 "kivhost");
    app.require_subcommand(1);
    kiv::kivhost::registerRunCommand(app);
    kiv::kivhost::registerServeCommand(app);
    kiv::kivhost::registerDescribeCommand(app);
    // Each command runs as its part of the parse; the exit code of one that fails comes back here.
    CLI11_PARSE(app, argc, argv);
    return 0;
}
