// kivhost: the development host. `kivhost run` plays a scenario against a plugin library on the
// virtual clock and prints what happens; `kivhost serve` puts the plugin on a local HTTP port
// with a dashboard; `kivhost describe` prints the plugin's API; `kivhost help` explains them.
// This file is kivhost's command line, which with command_line_checks is all that sees CLI11: each
// command's work lives in its own file and takes its arguments as a plain record.
#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_line_checks.h"
#include "kivhost/command/command_work.h"
#include "kivhost/command/describe_command.h"
#include "kivhost/command/run_command.h"
#include "kivhost/command/serve_command.h"
#include "kivhost/command/test_command.h"
#include "kivhost/platform/closed_output.h"
#include "kivhost/timeline/timeline.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::kivhost {
namespace {

// Raised with every change of the command line or of what the commands print.
constexpr const char* kKivhostVersion = "1.2.0";

std::string versionText() {
    return std::string("kivhost ") + kKivhostVersion + " (run --json timeline format " +
           std::to_string(kTimelineJsonFormat) + ", core plugin API " + CoreVersion{}.text() + " by default)";
}

// --plugin PATH; left empty when not given.
void addPluginOption(CLI::App& command, std::string& plugin) {
    command
        .add_option("--plugin", plugin,
                    "The plugin library (default: kiv_kr_shutdown_law next to kivhost); a name without a "
                    "folder is a file in the current folder, else looked up in the library search path")
        ->type_name("PATH")
        ->check([](const std::string& text) { return text.empty() ? "must name a library file" : ""; });
}

// The optional SCENARIO file ("-": standard input); left empty when not given.
void addScenarioArgument(CLI::App& command, std::string& scenario) {
    command
        .add_option("SCENARIO", scenario,
                    "A YAML or JSON scenario file, - for standard input (YAML); the built-in default "
                    "without one")
        ->type_name("");
}

// Closes the command's help with an example, the exit codes, and `more` before them.
void setHelpFooter(CLI::App& command, std::string_view example, std::string_view more = "",
                   std::string_view exitStatus =
                       "0 success; 1 a failure the run found (a refused scenario, a "
                       "library that cannot load or ends the process, output that "
                       "cannot be written); 2 a command line that cannot be taken.") {
    command.footer((more.empty() ? "" : std::string(more) + "\n\n") + "Example:\n  " + std::string(example) +
                   "\n\nExit status: " + std::string(exitStatus));
}

// Makes `work` the command's action, run once the whole command line is parsed; its exit code
// lands in `exitCode`.
void setCommandWork(CLI::App& command, int& exitCode, PluginIsolation isolation,
                    std::function<int(std::ostream& out, std::ostream& errors)> work) {
    command.callback(
        [&exitCode, isolation, work = std::move(work)] { exitCode = runCommandWork(isolation, work); });
}

void registerRunCommand(CLI::App& app, int& exitCode) {
    auto arguments = std::make_shared<RunArguments>();
    CLI::App* command =
        app.add_subcommand("run", "Play a scenario on the virtual clock and print its timeline.");
    addScenarioArgument(*command, arguments->scenario);
    addPluginOption(*command, arguments->plugin);
    command->add_flag("--json", arguments->json, "One JSON object per line instead of the readable timeline");
    command->add_option("--core", arguments->core, "The core plugin-API version at load (default 18.0.0)")
        ->type_name("X.Y.Z")
        ->check(checkCoreVersion);
    command
        ->add_option("--until", arguments->until,
                     "Minutes to play, decimal, instead of the scenario's until; a step after it is refused")
        ->type_name("MINUTES")
        ->check(checkMinutes);
    command
        ->add_option("--only", arguments->only,
                     "Print only these timeline types, separated by commas (e.g. fire,event,response); "
                     "repeatable")
        ->type_name("TYPES")
        ->allow_extra_args(false)
        ->check(checkTypes);
    command
        ->add_option("--exclude", arguments->exclude,
                     "Leave out these timeline types, separated by commas (e.g. subscribe,unsubscribe); "
                     "repeatable")
        ->type_name("TYPES")
        ->allow_extra_args(false)
        ->check(checkTypes);
    command
        ->add_option("--stream", arguments->streamChunkBytes,
                     "Answer the plugin's GETs as streamed bodies of at most BYTES (1 to 16777216) per read")
        ->type_name("BYTES")
        ->check(wholeNumberFrom(1, 1 << 24));
    command->add_flag("--real-clock", arguments->realClock, "Run timers and steps on the real clock");
    command->add_flag("--quiet", arguments->quiet, "Print nothing but errors");
    command->add_flag("--print-scenario", arguments->printScenario,
                      "Print the built-in scenario, a starting point for one's own, and exit");
    setHelpFooter(*command, "kivhost run scenarios/late-queue-list.yaml --only fire,event --until 300",
                  "Scenario (YAML; JSON when the name ends in .json):\n"
                  "  core: 18.0.0                the core plugin-API version at load\n"
                  "  until: 300                  minutes to play\n"
                  "  resources: {PATH: VALUE}    other plugins' resources at start\n"
                  "  steps:                      in time order, at minutes since the start\n"
                  "    - {at: 10, get: PATH}\n"
                  "    - {at: 20, update: PATH, value: VALUE}    also create, and delete without value\n"
                  "    - {at: 30, expect: {law: WARNING}}        checked by kivhost test\n"
                  "--print-scenario prints the built-in one; the README's Scenarios section has the rest.");
    setCommandWork(
        *command, exitCode, PluginIsolation::ChildProcess,
        [arguments](std::ostream& out, std::ostream& errors) { return runCommand(*arguments, out, errors); });
}

void registerTestCommand(CLI::App& app, int& exitCode) {
    auto arguments = std::make_shared<TestArguments>();
    CLI::App* command = app.add_subcommand(
        "test", "Play scenarios and check what their steps with expect say the plugin does.");
    command
        ->add_option(
            "SCENARIO", arguments->scenarios,
            "Scenario files, folders of them (their .yaml, .yml and .json files), - for standard input")
        ->type_name("")
        ->required();
    addPluginOption(*command, arguments->plugin);
    command->add_option("--junit", arguments->junit, "Also write a JUnit XML report to FILE, for CI")
        ->type_name("FILE");
    command->add_flag("--quiet", arguments->quiet, "Print only the expectations that failed and the summary");
    setHelpFooter(*command, "kivhost test scenarios/ --junit report.xml",
                  "0 every expectation held; 1 one did not, or a scenario could not be played; 2 a "
                  "scenario that cannot be read or a command line that cannot be taken.");
    // Each scenario plays in a child process of its own.
    setCommandWork(*command, exitCode, PluginIsolation::InProcess,
                   [arguments](std::ostream& out, std::ostream& errors) {
                       return testCommand(*arguments, out, errors);
                   });
}

// The command line of `kivhost serve` as given; empty texts are options not given.
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

void registerServeCommand(CLI::App& app, int& exitCode) {
    auto line = std::make_shared<ServeCommandLine>();
    CLI::App* command = app.add_subcommand(
        "serve", "Serve the plugin on 127.0.0.1 with its events, clock controls and a dashboard, until "
                 "interrupted.");
    addScenarioArgument(*command, line->scenario);
    addPluginOption(*command, line->plugin);
    command->add_option("--port", line->port, "The port; 0 picks a free one")
        ->type_name("N")
        ->check(wholeNumberFrom(0, 65535));
    command
        ->add_option("--clock", line->clock,
                     "virtual: time moves when a client advances it; real: it "
                     "also runs with the real clock")
        ->check(oneOf({"virtual", "real"}));
    CLI::Option* speed =
        command->add_option("--speed", line->speed, "On the real clock: simulated seconds per real second")
            ->type_name("X")
            ->check(decimalFrom(0.001, 1000000.0));
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

void registerDescribeCommand(CLI::App& app, int& exitCode) {
    auto plugin = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "describe", "Print the plugin's API as the host sees it in its export, as JSON: its functions with "
                    "their routes and the errors they answer, its types, its events and the jobs it "
                    "schedules.");
    addPluginOption(*command, *plugin);
    setHelpFooter(*command, "kivhost describe --plugin build/x86/bin/kiv_kr_shutdown_law.so");
    setCommandWork(
        *command, exitCode, PluginIsolation::ChildProcess,
        [plugin](std::ostream& out, std::ostream&) { return describeCommand(givenPath(*plugin), out); });
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

std::vector<std::string> commandList(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) {
        names.push_back(command->get_name());
    }
    return names;
}

std::string commandNames(const CLI::App& app) {
    std::string names;
    for (const std::string& name : commandList(app)) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

// "no command 'runn'; the commands are run, ...; did you mean 'run'?"
std::string noSuchCommand(const std::string& start, const std::string& given, const CLI::App& app) {
    const std::string nearest = nearestName(given, commandList(app));
    return start + " '" + given + "'; the commands are " + commandNames(app) +
           (nearest.empty() ? "" : "; did you mean '" + nearest + "'?");
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
            exitCode = usageError(noSuchCommand("no command", *topic, app), "");
            return;
        }
        std::cout << command->help("kivhost");
    });
}

int runCommandLine(int argc, char** argv) {
    keepProcessOnClosedPipes();
    int exitCode = kExitSuccess;
    CLI::App app("The development host: loads a plugin library through its export, plays the platform "
                 "around it and shows what the plugin does.",
                 "kivhost");
    app.set_version_flag("--version", versionText(), "Print kivhost's version and exit");
    app.require_subcommand(1);
    setHelpFooter(app, "kivhost run --only fire,event");
    registerRunCommand(app, exitCode);
    registerTestCommand(app, exitCode);
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
            return usageError(noSuchCommand("unknown command", argv[1], app), "");
        }
    }
    // Each command runs as its part of the parse; its exit code comes back in exitCode.
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) { // --help, --version
        return app.exit(success);
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> parsed = app.get_subcommands();
        const CLI::App* command = parsed.empty() ? &app : parsed.front();
        return usageError(usageMessage(error, command), parsed.empty() ? "" : command->get_name());
    }
    return exitCode;
}

} // namespace
} // namespace kiv::kivhost

int main(int argc, char** argv) {
    return kiv::kivhost::runCommandLine(argc, argv);
}
