#include "kivhost/command/run_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_options.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

namespace kiv::kivhost {
namespace {

// The command line of `kivhost run` as CLI11 fills it; empty texts are options not given.
struct RunArguments {
    std::string scenario;
    std::string plugin;
    bool json = false;
    std::string core;
    double untilMinutes = 0.0;
    bool untilGiven = false;
    std::uint32_t streamChunkBytes = 0;
    bool realClock = false;
};

std::string checkCoreVersion(const std::string& text) {
    return CoreVersion::parse(text) ? std::string() : "must be a version such as 18.0.0";
}

std::string checkMinutes(const std::string& text) {
    return parseMinutesMs(text) ? std::string() : minutesRule();
}

int runCommand(const RunArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<PlayInputs> inputs =
        loadPlayInputs(givenPath(arguments.scenario), givenPath(arguments.plugin), errors);
    if (!inputs) {
        return 1;
    }

    PlayOptions options;
    options.plugin = inputs->plugin;
    if (!arguments.core.empty()) {
        options.core = CoreVersion::parse(arguments.core);
    }
    if (arguments.untilGiven) {
        options.untilMs = std::llround(arguments.untilMinutes * 60000.0);
    }
    options.clock = arguments.realClock ? ClockKind::Real : ClockKind::Virtual;
    options.streamChunkBytes = arguments.streamChunkBytes;

    // On the real clock the timeline is watched as it happens; on the virtual one it is written
    // as fast as the output takes it.
    const auto lineOf = arguments.json ? timelineJson : timelineText;
    const bool flushEachLine = arguments.realClock;
    try {
        const PlayOutcome outcome = playScenario(inputs->scenario, options, [&](const Happening& happening) {
            out << lineOf(happening) << '\n';
            if (flushEachLine) {
                out.flush();
            }
        });
        out.flush();
        if (!outcome.initialized) {
            reportError(errors, "the plugin's initialize reported a failure; nothing was played");
            return 1;
        }
    } catch (const std::bad_alloc&) {
        out.flush();
        reportError(errors, "out of memory; the timeline ends here");
        return 1;
    }
    return 0;
}

} // namespace

void registerRunCommand(CLI::App& app) {
    auto arguments = std::make_shared<RunArguments>();
    CLI::App* command =
        app.add_subcommand("run", "Play a scenario on the virtual clock and print its timeline.");
    addScenarioArgument(*command, arguments->scenario);
    addPluginOption(*command, arguments->plugin);
    command->add_flag("--json", arguments->json, "One JSON object per line instead of the readable timeline");
    command->add_option("--core", arguments->core, "The core plugin-API version at load, X.Y.Z")
        ->check(checkCoreVersion);
    CLI::Option* until = command->add_option("--until", arguments->untilMinutes, "Minutes of time to play")
                             ->check(checkMinutes);
    command
        ->add_option("--stream", arguments->streamChunkBytes,
                     "Answer the plugin's GETs as streamed bodies of this many bytes per read")
        ->check(CLI::Range(1u, 1u << 24));
    command->add_flag("--real-clock", arguments->realClock, "Run timers and steps on the real clock");
    setCommandWork(*command, [arguments, until](std::ostream& out, std::ostream& errors) {
        arguments->untilGiven = until->count() > 0;
        return runCommand(*arguments, out, errors);
    });
}

} // namespace kiv::kivhost
