// kivhost: the development host. `kivhost run` plays a scenario against a plugin library on the
// virtual clock and prints what happens; `kivhost serve` puts the plugin on a local HTTP port
// with a dashboard; `kivhost describe` prints the plugin's API; `kivhost help` explains them.
#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_options.h"
#include "kivhost/command/describe_command.h"
#include "kivhost/command/run_command.h"
#include "kivhost/command/serve_command.h"
#include "kivhost/timeline/timeline.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>
#include <string>

namespace kiv::kivhost {
namespace {

// Raised with every change of the command line or of what the commands print.
constexpr const char* kKivhostVersion = "1.1.0";

std::string versionText() {
    return std::string("kivhost ") + kKivhostVersion + " (run --json timeline format " +
           std::to_string(kTimelineJsonFormat) + ", core plugin API " + CoreVersion{}.text() + " by default)";
}

// A usage error: each line of CLI11's message under the program's name, then where help is.
int usageError(std::string_view message, const std::string& helpTopic) {
    std::istringstream lines{std::string(message)};
    for (std::string line; std::getline(lines, line);) {
        reportError(std::cerr, line);
    }
    reportError(std::cerr, "see 'kivhost help" + (helpTopic.empty() ? "" : " " + helpTopic) + "'");
    return kExitUsage;
}

std::string commandNames(const CLI::App& app) {
    std::string names;
    for (const CLI::App* command : app.get_subcommands({})) {
        names += (names.empty() ? "" : ", ") + command->get_name();
    }
    return names;
}

void registerHelpCommand(CLI::App& app, int& exitCode) {
    auto topic = std::make_shared<std::string>();
    CLI::App* help = app.add_subcommand("help", "Explain kivhost, or one of its commands.");
    help->add_option("COMMAND", *topic, "The command to explain");
    setHelpFooter(*help, "kivhost help run");
    help->callback([&app, &exitCode, topic] {
        if (topic->empty()) {
            // app.help() would describe the command being run, which is help itself.
            std::cout << app.get_formatter()->make_help(&app, "kivhost", CLI::AppFormatMode::Normal);
            return;
        }
        const CLI::App* command = nullptr;
        try {
            command = app.get_subcommand(*topic);
        } catch (const CLI::OptionNotFound&) {
            exitCode = usageError("no command '" + *topic + "'; the commands are " + commandNames(app), "");
            return;
        }
        std::cout << command->help("kivhost");
    });
}

int runCommandLine(int argc, char** argv) {
    int exitCode = kExitSuccess;
    CLI::App app("The development host: loads a plugin library through its export, plays the platform "
                 "around it and shows what the plugin does.",
                 "kivhost");
    app.set_version_flag("--version", versionText(), "Print kivhost's version and exit");
    app.require_subcommand(1);
    setHelpFooter(app, "kivhost run --only fire,event");
    registerRunCommand(app, exitCode);
    registerServeCommand(app, exitCode);
    registerDescribeCommand(app, exitCode);
    registerHelpCommand(app, exitCode);

    // CLI11 would take an unknown command for a stray argument and ask for a command.
    if (argc < 2) {
        return usageError("a command is required: " + commandNames(app), "");
    }
    if (argv[1][0] != '-') {
        try {
            (void)app.get_subcommand(argv[1]);
        } catch (const CLI::OptionNotFound&) {
            return usageError(
                std::string("unknown command '") + argv[1] + "'; the commands are " + commandNames(app), "");
        }
    }
    // Each command runs as its part of the parse; its exit code comes back in exitCode.
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) { // --help, --version
        return app.exit(success);
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> parsed = app.get_subcommands();
        return usageError(error.what(), parsed.empty() ? "" : parsed.front()->get_name());
    }
    return exitCode;
}

} // namespace
} // namespace kiv::kivhost

int main(int argc, char** argv) {
    return kiv::kivhost::runCommandLine(argc, argv);
}
