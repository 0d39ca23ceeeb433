#include "kivhost/command/run_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_work.h"
#include "kivhost/command/default_plugin.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <set>
#include <string>

namespace kiv::kivhost {
namespace {

using TypeSet = std::set<std::string, std::less<>>;

// "fire,event": the timeline types named.
TypeSet typeList(const std::string& text) {
    TypeSet types;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        types.emplace(text.substr(start, comma - start));
        start = comma + 1;
    }
    return types;
}

// The types that the lists name together.
TypeSet typeList(const std::vector<std::string>& texts) {
    TypeSet types;
    for (const std::string& text : texts) {
        types.merge(typeList(text));
    }
    return types;
}

} // namespace

std::string checkCoreVersion(const std::string& text) {
    return CoreVersion::parse(text) ? std::string() : "must be a version such as 18.0.0";
}

std::string checkMinutes(const std::string& text) {
    return parseMinutesMs(text) ? std::string() : minutesRule();
}

std::string checkTypes(const std::string& text) {
    if (text.empty()) {
        return "must name timeline types, such as fire,event";
    }
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
    if (arguments.printScenario) {
        if (!arguments.scenario.empty()) {
            reportError(errors, "--print-scenario prints the built-in scenario; give no SCENARIO with it");
            return kExitUsage;
        }
        out << defaultScenarioText();
        return kExitSuccess;
    }
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
    const TypeSet only = typeList(arguments.only);
    const TypeSet excluded = typeList(arguments.exclude);
    const auto shown = [&](const Happening& happening) {
        const std::string_view type = happeningType(happening.detail);
        return !arguments.quiet && (only.empty() || only.contains(type)) && !excluded.contains(type);
    };
    try {
        const PlayOutcome outcome = playScenario(inputs->scenario, options, [&](const Happening& happening) {
            if (!shown(happening)) {
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

} // namespace kiv::kivhost
