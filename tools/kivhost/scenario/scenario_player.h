// Plays a scenario against one plugin library on the development host: the resources at start,
// the load with its core version, initialisation, the steps in time order with the timers due
// between them, and unload at the end of play.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "kivhost/scenario/expectation_check.h"
#include "kivhost/scenario/scenario.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct PlayOptions {
    std::filesystem::path plugin;
    std::string entryName;           // empty: load_ and the library's name
    std::optional<CoreVersion> core; // instead of the scenario's
    ClockKind clock = ClockKind::Virtual;
    std::uint32_t streamChunkBytes = 0;
};

struct PlayOutcome {
    bool initialized = false; // what the plugin's initialize returned; play stops when false
    std::int64_t endMs = 0;   // the host's clock when play ended
};

// Plays one step: a GET through the host's routing, or a change of a stored resource with its
// event.
void playStep(PluginHost& host, const ScenarioStep& step);

// Plays steps[next], steps[next + 1], ... in order while a step's index is below `end` and its
// moment at or before `untilMs`, as `kivhost run` plays them: the clock moved to the step's moment
// first (`moveClock`, which runs the timers due on the way), then the step, then `played`.
// Returns the index of the first step left. `kivhost run` and `serve` both play their steps so.
std::size_t playSteps(PluginHost& host, const std::vector<ScenarioStep>& steps, std::size_t next,
                      std::size_t end, std::int64_t untilMs,
                      const std::function<void(std::int64_t)>& moveClock,
                      const std::function<void(const ScenarioStep&)>& played);

// Each happening reaches `listener` as it happens. Throws HostError when the plugin cannot be
// loaded. The scenario's expectations are checked by `check` when one is given (it is told of
// every happening after the listener), and passed over otherwise.
PlayOutcome playScenario(const Scenario& scenario, const PlayOptions& options,
                         const std::function<void(const Happening&)>& listener,
                         ExpectationCheck* check = nullptr);

// Plays on a host that the caller made, with the core version and clock of the caller's choosing,
// and keeps to look at afterwards; the plugin is loaded into it and unloaded at the end. With a
// `check`, the caller tells it of the host's happenings.
PlayOutcome playScenarioOn(PluginHost& host, const Scenario& scenario, const PlayOptions& options,
                           ExpectationCheck* check = nullptr);

} // namespace kiv::kivhost
