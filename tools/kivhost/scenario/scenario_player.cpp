#include "kivhost/scenario/scenario_player.h"

namespace kiv::kivhost {
namespace {

// Without an end of play, timers run until none is pending, but no further than a day.
void runOutTimers(PluginHost& host) {
    constexpr std::int64_t kLastMs = kDefaultPlayMinutes * 60000;
    while (const std::optional<std::int64_t> due = host.nextDueMs()) {
        if (*due > kLastMs) {
            host.runUntil(kLastMs);
            return;
        }
        host.runUntil(*due);
    }
}

} // namespace

void playStep(PluginHost& host, const ScenarioStep& step) {
    switch (step.action) {
    case StepAction::Get:
        host.request(KIV_HTTP_METHOD_GET, step.path);
        return;
    case StepAction::Update:
        host.changeResource(ResourceChangeKind::Update, step.path, step.value);
        return;
    case StepAction::Create:
        host.changeResource(ResourceChangeKind::Create, step.path, step.value);
        return;
    case StepAction::Delete:
        host.changeResource(ResourceChangeKind::Delete, step.path);
        return;
    }
}

PlayOutcome playScenarioOn(PluginHost& host, const Scenario& scenario, const PlayOptions& options) {
    for (const auto& [path, value] : scenario.resources) {
        host.putResource(path, value);
    }
    const PluginId id = host.load(options.plugin, options.entryName);
    PlayOutcome outcome;
    outcome.initialized = host.initialize(id);
    if (outcome.initialized) {
        // Timers due at a step's moment run before the step; the scenario has no step after
        // its end of play.
        for (const ScenarioStep& step : scenario.steps) {
            host.runUntil(step.atMs);
            playStep(host, step);
        }
        if (const std::optional<std::int64_t> endMs = scenario.untilMs) {
            host.runUntil(*endMs);
        } else {
            runOutTimers(host);
        }
    }
    outcome.endMs = host.nowMs();
    host.unload(id);
    return outcome;
}

PlayOutcome playScenario(const Scenario& scenario, const PlayOptions& options,
                         const std::function<void(const Happening&)>& listener) {
    HostOptions hostOptions;
    hostOptions.core = options.core.value_or(scenario.core.value_or(CoreVersion{}));
    hostOptions.clock = options.clock;
    hostOptions.streamChunkBytes = options.streamChunkBytes;
    hostOptions.keepHappenings = false; // the listener sees each one as it happens
    PluginHost host(hostOptions);
    host.setListener(listener);
    return playScenarioOn(host, scenario, options);
}

} // namespace kiv::kivhost
