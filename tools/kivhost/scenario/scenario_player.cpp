#include "kivhost/scenario/scenario_player.h"

#include <algorithm>
#include <limits>

namespace kiv::kivhost {
namespace {

// Moves the host's clock, running the timers due on the way. With expectations to check, it stops
// at each moment timers run, so that answers expected over a span are asked after each.
class PlayClock {
  public:
    PlayClock(PluginHost& host, ExpectationCheck* check) : host_(host), check_(check) {}

    void runUntil(std::int64_t ms) {
        if (!check_) {
            host_.runUntil(ms);
            return;
        }
        while (const std::optional<std::int64_t> due = host_.nextDueMs()) {
            if (*due > ms) {
                break;
            }
            moveTo(*due);
            check_->entered(host_);
        }
        moveTo(ms);
    }

    // Without an end of play, timers run until none is pending, but no further than a day.
    void runOutTimers() {
        constexpr std::int64_t kLastMs = kDefaultPlayMinutes * 60000;
        while (const std::optional<std::int64_t> due = host_.nextDueMs()) {
            if (*due > kLastMs) {
                runUntil(kLastMs);
                return;
            }
            runUntil(*due);
        }
    }

  private:
    void moveTo(std::int64_t ms) {
        check_->movingTo(ms);
        host_.runUntil(ms);
    }

    PluginHost& host_;
    ExpectationCheck* check_;
};

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

std::size_t playSteps(PluginHost& host, const std::vector<ScenarioStep>& steps, std::size_t next,
                      std::size_t end, std::int64_t untilMs,
                      const std::function<void(std::int64_t)>& moveClock,
                      const std::function<void(const ScenarioStep&)>& played) {
    for (; next < std::min(end, steps.size()) && steps[next].atMs <= untilMs; ++next) {
        moveClock(steps[next].atMs);
        playStep(host, steps[next]);
        played(steps[next]);
    }
    return next;
}

PlayOutcome playScenarioOn(PluginHost& host, const Scenario& scenario, const PlayOptions& options,
                           ExpectationCheck* check) {
    for (const auto& [path, value] : scenario.resources) {
        host.putResource(path, value);
    }
    const PluginId id = host.load(options.plugin, options.entryName);
    PlayOutcome outcome;
    outcome.initialized = host.initialize(id);
    if (outcome.initialized) {
        // Steps play in the order of the file, expectations among them; timers due at a step's
        // moment run before the step. The scenario has no step after its end of play.
        PlayClock clock(host, check);
        const auto moveClock = [&](std::int64_t ms) { clock.runUntil(ms); };
        const auto played = [&](const ScenarioStep&) {
            if (check) {
                check->entered(host);
            }
        };
        constexpr std::int64_t kAnyMoment = std::numeric_limits<std::int64_t>::max();
        std::size_t next = 0;
        // An expectation begins once the steps written before it have played.
        for (std::size_t i = 0; check && i < scenario.expectations.size(); ++i) {
            const Expectation& expectation = scenario.expectations[i];
            next =
                playSteps(host, scenario.steps, next, expectation.stepsBefore, kAnyMoment, moveClock, played);
            clock.runUntil(expectation.atMs);
            check->begin(host, expectation);
        }
        playSteps(host, scenario.steps, next, scenario.steps.size(), kAnyMoment, moveClock, played);
        if (const std::optional<std::int64_t> endMs = scenario.untilMs) {
            clock.runUntil(*endMs);
        } else {
            clock.runOutTimers();
        }
    }
    if (check) {
        check->finish();
    }
    outcome.endMs = host.nowMs();
    host.unload(id);
    return outcome;
}

PlayOutcome playScenario(const Scenario& scenario, const PlayOptions& options,
                         const std::function<void(const Happening&)>& listener, ExpectationCheck* check) {
    HostOptions hostOptions;
    hostOptions.core = options.core.value_or(scenario.core.value_or(CoreVersion{}));
    hostOptions.clock = options.clock;
    hostOptions.streamChunkBytes = options.streamChunkBytes;
    hostOptions.keepHappenings = false; // the listener sees each one as it happens
    PluginHost host(hostOptions);
    host.setListener([&](const Happening& happening) {
        listener(happening);
        if (check) {
            check->record(happening);
        }
    });
    return playScenarioOn(host, scenario, options, check);
}

} // namespace kiv::kivhost
