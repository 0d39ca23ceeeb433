#include "kivhost/command/run_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_options.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <set>
#include <string>

namespace kiv::kivhost {
namespace {

// The command line of `kivhost run` as CLI11 fills it; empty texts are options not given.
struct RunArguments {
    std::string scenario;
    std::string plugin;
    bool json = false;
    std::string core;
    std::string until;
    std::string only;
    std::uint32_t streamChunkBytes = 0;
    bool realClock = false;
};

std::string checkCoreVersion(const std::string& text) {
    return CoreVersion::parse(text) ? std::string() : "must be a version such as 18.0.0";
}

std::string checkMinutes(const std::string& text) {
    return parseMinutesMs(text) ? std::string() : minutesRule();
}

// "fire,event": the timeline types to keep; every type when none is given.
std::set<std::string, std::less<>> typeList(const std::string& text) {
    std::set<std::string, std::less<>> types;
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        types.emplace(text.substr(start, comma - start));
        start = comma + 1;
    }
    return types;
}

std::string checkTypes(const std::string& text) {
    const auto known = happeningTypes();
    for (const std::string& type : typeList(text)) {
        if (std::find(known.begin(), known.end(), type) == known.end()) {
            std::string list;
            for (const std::string_view name : known) {
                list += (list.empty() ? "" : ",") + std::string(name);
            }
            return "'" + type + "' is no timeline type; the types are " + list;
        }
    }
    return {};
}

int runCommand(const RunArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<PlayInputs> inputs =
        loadPlayInputs(givenPath(arguments.scenario), givenPath(arguments.plugin), errors,
                       arguments.until.empty() ? std::nullopt : parseMinutesMs(arguments.until));
    if (!inputs) {
        return kExitFailure;
    }

    PlayOptions options;
    options.plugin = inputs->plugin;
    if (!arguments.core.empty()) {
        options.core = CoreVersion::parse(arguments.core);
    }
    options.clock = arguments.realClock ? ClockKind::Real : ClockKind::Virtual;
    options.streamChunkBytes = arguments.streamChunkBytes;

    // On the real clock the timeline is watched as it happens; on the virtual one it is written
    // as fast as the output takes it.
    const auto lineOf = arguments.json ? timelineJson : timelineText;
    const bool flushEachLine = arguments.realClock;
    const std::set<std::string, std::less<>> only = typeList(arguments.only);
    try {
        const PlayOutcome outcome = playScenario(inputs->scenario, options, [&](const Happening& happening) {
            if (!only.empty() && !only.contains(std::string_view(happeningType(happening.detail)))) {
                return;
            }
            out << lineOf(happening) << '\n';
            if (flushEachLine) {
                out.flush();
            }
            noteOutputState();
        });
        out.flush();
        noteOutputState();
        if (!outcome.initialized) {
            reportError(errors, "the plugin's initialize reported a failure; nothing was played");
            return kExitFailure;
        }
    } catch (const std::bad_alloc&) {
        out.flush();
        reportError(errors, "out of memory; the timeline ends here");
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

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
                     "Print only these timeline types, separated by commas (e.g. fire,event,response)")
        ->type_name("TYPES")
        ->check(checkTypes);
    command
        ->add_option("--stream", arguments->streamChunkBytes,
                     "Answer the plugin's GETs as streamed bodies of at most BYTES (1 to 16777216) per read")
        ->type_name("BYTES")
        ->check(CLI::Range(1u, 1u << 24).description(""));
    command->add_flag("--real-clock", arguments->realClock, "Run timers and steps on the real clock");
    setHelpFooter(*command, "kivhost run scenarios/late-queue-list.yaml --only fire,event --until 300");
    setCommandWork(
        *command, exitCode, PluginIsolation::ChildProcess,
        [arguments](std::ostream& out, std::ostream& errors) { return runCommand(*arguments, out, errors); });
}

} // namespace kiv::kivhost
