#include "model_comparison.h"

#include "kivhost/core/json_text.h"
#include "kivhost/timeline/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kiv::test {
namespace {

// Timelines of scenarios with thousands of queues run to megabytes; the head tells the story.
constexpr std::size_t kTimelineLinesShown = 600;

bool matches(const Observation& expected, const Observation& actual) {
    if (expected.atMs != actual.atMs || expected.kind != actual.kind || expected.name != actual.name) {
        return false;
    }
    if (expected.kind == Observation::Kind::Event) {
        return kivhost::toJson(expected.value) == kivhost::toJson(actual.value);
    }
    if (expected.anyAnswer) {
        return true;
    }
    if (expected.error != actual.error) {
        return false;
    }
    if (expected.error) {
        return expected.status == actual.status;
    }
    return kivhost::toJson(expected.value) == kivhost::toJson(actual.value);
}

std::vector<Observation> withinHorizon(std::vector<Observation> observations) {
    std::erase_if(observations, [](const Observation& o) { return o.atMs > kModelHorizonMs; });
    return observations;
}

void appendLines(std::string& text, const std::vector<Observation>& observations, std::size_t from,
                 std::size_t to, std::size_t marked) {
    for (std::size_t i = from; i < std::min(to, observations.size()); ++i) {
        text += (i == marked ? "  > " : "    ") + observationText(observations[i]) + "\n";
    }
    if (observations.size() <= marked) {
        text += "  > (nothing more)\n";
    }
}

} // namespace

PlayedRun playOnPlugin(const Scenario& scenario) {
    kivhost::PluginHost host;
    for (const auto& [path, value] : scenario.resources) {
        host.putResource(path, value);
    }
    const kivhost::PluginId plugin = host.load(KIV_SHUTDOWN_LAW_LIBRARY);
    if (!host.initialize(plugin)) {
        ADD_FAILURE() << "the plugin did not initialise";
    }
    for (const ScenarioStep& step : scenario.steps) {
        host.runUntil(step.atMs);
        if (step.get) {
            (void)host.request(KIV_HTTP_METHOD_GET, step.path);
        } else {
            host.changeResource(step.change, step.path, step.value);
        }
    }
    while (const std::optional<std::int64_t> due = host.nextDueMs()) {
        host.runUntil(*due);
    }
    host.unload(plugin);
    return {host.happenings(), host.timerHistory()};
}

std::vector<Observation> observationsOf(const std::vector<kivhost::Happening>& happenings) {
    std::vector<Observation> observations;
    for (const kivhost::Happening& happening : happenings) {
        Observation observation;
        observation.atMs = happening.timeMs;
        if (const auto* event = std::get_if<kivhost::EventSent>(&happening.detail)) {
            if (happening.plugin.empty()) {
                continue; // put on the bus by the host, not sent by the plugin
            }
            observation.name = event->name;
            observation.value = event->payload;
        } else if (const auto* response = std::get_if<kivhost::ResponseReceived>(&happening.detail)) {
            observation.kind = Observation::Kind::Response;
            observation.name = response->path;
            observation.value = response->value;
            observation.status = response->status;
            observation.error = response->error.has_value();
        } else {
            continue;
        }
        observations.push_back(std::move(observation));
    }
    return observations;
}

std::string observationText(const Observation& observation) {
    std::string text = kivhost::clockText(observation.atMs) + " ";
    if (observation.kind == Observation::Kind::Event) {
        return text + "event " + observation.name + " " + kivhost::toJson(observation.value);
    }
    text += "GET " + observation.name + " -> ";
    if (observation.anyAnswer) {
        return text + "(any answer)";
    }
    if (observation.error) {
        return text + std::to_string(observation.status) + " error";
    }
    return text + kivhost::toJson(observation.value);
}

std::optional<std::string> differenceFromModel(const LawOutcome& expected,
                                               const std::vector<kivhost::Happening>& happenings) {
    const std::vector<Observation> wanted = withinHorizon(expected.observations);
    const std::vector<Observation> seen = withinHorizon(observationsOf(happenings));
    std::size_t i = 0;
    while (i < wanted.size() && i < seen.size() && matches(wanted[i], seen[i])) {
        ++i;
    }
    if (i == wanted.size() && i == seen.size()) {
        return std::nullopt;
    }
    const std::size_t from = i < 4 ? 0 : i - 4;
    std::string text = "the run differs from the model at observation " + std::to_string(i) + "\n";
    text += "  the model:\n";
    appendLines(text, wanted, from, i + 4, i);
    text += "  the plugin:\n";
    appendLines(text, seen, from, i + 4, i);
    return text;
}

std::string mismatchReport(const Scenario& scenario, const LawOutcome& expected,
                           const std::vector<kivhost::Happening>& happenings) {
    std::string text = "the scenario:\n" + scenarioYaml(scenario);
    text += "the model's moments:\n";
    for (const auto& [queue, atMs] : expected.queueClosings) {
        text += "  queue " + std::to_string(queue) + " closes at " + kivhost::clockText(atMs) + "\n";
    }
    if (expected.allQueuesClosing) {
        text += "  all queues close at " + kivhost::clockText(*expected.allQueuesClosing) + "\n";
    }
    for (const auto& [atMs, status] : expected.notifications) {
        text += "  " + std::string(lawStatusName(status)) + " at " + kivhost::clockText(atMs) + "\n";
    }
    text += "the run's timeline:\n";
    for (std::size_t i = 0; i < std::min(happenings.size(), kTimelineLinesShown); ++i) {
        text += kivhost::timelineText(happenings[i]) + "\n";
    }
    if (happenings.size() > kTimelineLinesShown) {
        text += "(" + std::to_string(happenings.size() - kTimelineLinesShown) + " more lines)\n";
    }
    return text;
}

} // namespace kiv::test
