#include "kivhost/command/run_command.h"

#include "kivhost/command/play_inputs.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"

#include <cmath>
#include <new>

namespace kiv::kivhost {

int runCommand(const RunArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<PlayInputs> inputs = loadPlayInputs(arguments.scenario, arguments.plugin, errors);
    if (!inputs)
        return 1;

    PlayOptions options;
    options.plugin = inputs->plugin;
    options.core = arguments.core;
    if (arguments.untilMinutes)
        options.untilMs = std::llround(*arguments.untilMinutes * 60000.0);
    options.clock = arguments.realClock ? ClockKind::Real : ClockKind::Virtual;
    options.streamChunkBytes = arguments.streamChunkBytes;

    // On the real clock the timeline is watched as it happens; on the virtual one it is written
    // as fast as the output takes it.
    const auto lineOf = arguments.json ? timelineJson : timelineText;
    const bool flushEachLine = arguments.realClock;
    try {
        const PlayOutcome outcome = playScenario(inputs->scenario, options, [&](const Happening& happening) {
            out << lineOf(happening) << '\n';
            if (flushEachLine)
                out.flush();
        });
        out.flush();
        if (!outcome.initialized) {
            errors << "kivhost: the plugin's initialize reported a failure; nothing was played\n";
            return 1;
        }
    } catch (const HostError& error) {
        out.flush();
        errors << "kivhost: " << error.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        out.flush();
        errors << "kivhost: out of memory; the timeline ends here\n";
        return 1;
    }
    return 0;
}

} // namespace kiv::kivhost
