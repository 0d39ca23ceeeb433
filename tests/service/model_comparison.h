// Plays a scenario through the real library on the development host's virtual clock and holds
// what the host saw against the law's model: the plugin's events and the answers to GETs, in
// order and each at its moment, up to the model's horizon.
#pragma once

#include "kivhost/core/happening.h"
#include "kivhost/core/plugin_host.h"
#include "scenario_generator.h"
#include "shutdown_law_model.h"

#include <optional>
#include <string>
#include <vector>

namespace kiv::test {

struct PlayedRun {
    std::vector<kivhost::Happening> happenings;
    std::vector<kivhost::TimerRecord> timers;
};

// Puts the resources, loads and initialises the plugin at 0, plays each step after the timers
// due at or before it, runs every timer left, and unloads.
PlayedRun playOnPlugin(const Scenario& scenario);

// The observations of a real run: the plugin's events and the answers to the host's GETs.
std::vector<Observation> observationsOf(const std::vector<kivhost::Happening>& happenings);

// "hh:mm:ss event NAME PAYLOAD" or "hh:mm:ss GET PATH -> STATUS BODY".
std::string observationText(const Observation& observation);

// Nothing when the run shows what the model expects up to the horizon; else a description of the
// first difference with the lines around it.
std::optional<std::string> differenceFromModel(const LawOutcome& expected,
                                               const std::vector<kivhost::Happening>& happenings);

// The scenario as YAML, the model's moments and the run's whole timeline, for a failure message.
std::string mismatchReport(const Scenario& scenario, const LawOutcome& expected,
                           const std::vector<kivhost::Happening>& happenings);

} // namespace kiv::test
