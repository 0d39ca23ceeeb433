// Playing scenarios against the fake plugin: steps and timers interleave in time order, a step
// comes after the timers due at its moment, and play ends at `until` or when no timer is left
// (at most a day).
#include "kivhost/scenario/scenario_player.h"

#include "case_name.h"
#include "fake_host.h"

namespace kiv::test {
namespace {

using namespace kivhost;

struct PlayCase {
    std::string name;
    std::string scenario;
    std::optional<std::int64_t> untilMs; // given on the command line
    std::vector<std::string> order;      // "type name-or-path@ms" of fires, gets and changes
    std::int64_t endMs;
    std::size_t droppedTimers;
};

void PrintTo(const PlayCase& playCase, std::ostream* out) {
    *out << playCase.scenario;
}

class ScenarioPlayTest : public testing::TestWithParam<PlayCase> {};

TEST_P(ScenarioPlayTest, StepsAndTimersInterleaveInTimeOrder) {
    const Scenario scenario =
        readScenarioText(GetParam().scenario, ScenarioFormat::Yaml, "play.yaml", GetParam().untilMs);
    PluginHost host;
    PlayOptions options;
    options.plugin = fakePluginLibrary();
    const PlayOutcome outcome = playScenarioOn(host, scenario, options);
    EXPECT_TRUE(outcome.initialized);
    EXPECT_EQ(outcome.endMs, GetParam().endMs);

    std::vector<std::string> order;
    for (const Happening& happening : host.happenings()) {
        const std::string at = "@" + std::to_string(happening.timeMs);
        if (const auto* fired = std::get_if<TimerFired>(&happening.detail)) {
            order.push_back("fire " + fired->name + at);
        } else if (const auto* response = std::get_if<ResponseReceived>(&happening.detail)) {
            order.push_back("get " + response->path + at);
        } else if (const auto* changed = std::get_if<ResourceChanged>(&happening.detail)) {
            order.push_back(std::string(happeningType(happening.detail)) + " " + changed->path + at);
        }
    }
    EXPECT_EQ(order, GetParam().order);
    const auto unloaded = happeningsOfType(host, "unload");
    ASSERT_EQ(unloaded.size(), 1u);
    EXPECT_EQ(unloaded[0].timeMs, GetParam().endMs);
    EXPECT_EQ(std::get<PluginUnloaded>(unloaded[0].detail).pendingTimers, GetParam().droppedTimers);
}

INSTANTIATE_TEST_SUITE_P(
    Plays, ScenarioPlayTest,
    testing::Values(
        PlayCase{"StepAfterTimersOfItsMoment",
                 "steps: [{at: 0, get: '/fake/v1/act/timers:60,30'}, {at: 1, update: /x/v1/y, value: 1}]",
                 std::nullopt,
                 {"get /fake/v1/act/timers:60,30@0", "fire fake.t1@30000", "fire fake.t0@60000",
                  "update /x/v1/y@60000"},
                 60000,
                 0},
        PlayCase{
            "ScenarioUntil",
            "until: 3\nsteps: [{at: 0, get: '/fake/v1/act/timers:600'}, {at: 2, create: /x/v1/y, value: 1}]",
            std::nullopt,
            {"get /fake/v1/act/timers:600@0", "create /x/v1/y@120000"},
            180000,
            1},
        PlayCase{"CommandLineUntil",
                 "until: 30\nsteps: [{at: 0, get: '/fake/v1/act/timers:600'}, {at: 2, delete: /x/v1/y}]",
                 120000,
                 {"get /fake/v1/act/timers:600@0", "delete /x/v1/y@120000"},
                 120000,
                 1},
        // Without until, timers run until none is left, but for a day at most.
        PlayCase{"DayAtMost",
                 "steps: [{at: 0, get: '/fake/v1/act/timers:86399,86401'}]",
                 std::nullopt,
                 {"get /fake/v1/act/timers:86399,86401@0", "fire fake.t0@86399000"},
                 86400000,
                 1},
        PlayCase{"NoSteps", "core: 18.0.0", std::nullopt, {}, 0, 0}),
    CaseName());

} // namespace
} // namespace kiv::test
