// What happened while serving, as a scenario that `kivhost run` plays to the same timeline: the
// world the session started from (core version and resources), then every step it went through
// in time order with its moment: the scenario's own steps as they played, and the resource
// changes and GETs of clients.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::kivhost {

class SessionRecording {
  public:
    // Starts afresh from the scenario's world; its steps are recorded as they play.
    void start(const Scenario& scenario);
    void add(std::int64_t atMs, StepAction action, const std::string& path, const Value& value = {});
    // The scenario as JSON, `until` the moment given (the clock when it is asked for).
    std::string json(std::int64_t untilMs) const;

  private:
    std::optional<CoreVersion> core_;
    std::vector<std::pair<std::string, Value>> resources_;
    std::vector<ScenarioStep> steps_;
};

} // namespace kiv::kivhost
