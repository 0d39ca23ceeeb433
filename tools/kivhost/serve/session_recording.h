// What happened while serving, as a scenario that `kivhost run` plays to the same timeline: the
// world the session started from (core version and resources), then every step it went through
// in time order with its moment: the scenario's own steps as they played, and the resource
// changes and GETs of clients.
//
// The recording keeps its newest steps only, at most kRecordingMaxSteps and kRecordingMaxBytes
// of them, as the feed keeps its newest entries. A step it drops is folded into the resources it
// starts from, so that it still replays: it then starts from the resources as they stood before
// its first kept step, and its steps keep their moments on the session's clock. Values are kept
// as their JSON text, which is what the recording is written as and a fraction of a tree's size.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace kiv::kivhost {

class SessionRecording {
  public:
    // Starts afresh from the scenario's world; its steps are recorded as they play.
    void start(const Scenario& scenario);
    // `valueJson`: the new value of a create or update, as JSON text.
    void add(std::int64_t atMs, StepAction action, const std::string& path, std::string valueJson = {});
    // The scenario as JSON, `until` the moment given (the clock when it is asked for).
    std::string json(std::int64_t untilMs) const;

  private:
    struct Step {
        std::int64_t atMs = 0;
        StepAction action = StepAction::Get;
        std::string path;
        std::string valueJson;

        std::size_t bytes() const noexcept { return sizeof(Step) + path.size() + valueJson.size(); }
    };

    // Folds the oldest step into the resources the recording starts from.
    void dropOldest();

    std::optional<CoreVersion> core_;
    std::map<std::string, std::string> resources_; // path: the value's JSON text
    std::deque<Step> steps_;
    std::size_t bytes_ = 0; // of the steps kept
};

} // namespace kiv::kivhost
