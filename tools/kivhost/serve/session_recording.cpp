#include "kivhost/serve/session_recording.h"

#include "kivhost/core/json_text.h"
#include "kivhost/serve/serve_limits.h"

#include <cstdio>

namespace kiv::kivhost {
namespace {

// Milliseconds as the scenario's minutes, with every digit needed to read back the same
// millisecond.
void writeMinutes(JsonWriter& writer, std::int64_t ms) {
    if (ms % 60000 == 0) {
        writer.Int64(ms / 60000);
        return;
    }
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.17g", static_cast<double>(ms) / 60000.0);
    writer.RawValue(text, static_cast<std::size_t>(length), rapidjson::kNumberType);
}

const char* actionKey(StepAction action) {
    switch (action) {
    case StepAction::Get:
        return "get";
    case StepAction::Update:
        return "update";
    case StepAction::Create:
        return "create";
    case StepAction::Delete:
        return "delete";
    }
    return "get";
}

} // namespace

void SessionRecording::start(const Scenario& scenario) {
    core_ = scenario.core;
    resources_.clear();
    for (const auto& [path, value] : scenario.resources) {
        resources_[path] = toJson(value);
    }
    steps_.clear();
    bytes_ = 0;
}

void SessionRecording::add(std::int64_t atMs, StepAction action, const std::string& path,
                           std::string valueJson) {
    steps_.push_back(Step{atMs, action, path, std::move(valueJson)});
    bytes_ += steps_.back().bytes();
    while (steps_.size() > kRecordingMaxSteps || (bytes_ > kRecordingMaxBytes && steps_.size() > 1)) {
        dropOldest();
    }
}

void SessionRecording::dropOldest() {
    Step& step = steps_.front();
    switch (step.action) {
    case StepAction::Create:
    case StepAction::Update:
        resources_[step.path] = std::move(step.valueJson);
        break;
    case StepAction::Delete:
        resources_.erase(step.path);
        break;
    case StepAction::Get:
        break;
    }
    bytes_ -= step.bytes();
    steps_.pop_front();
}

std::string SessionRecording::json(std::int64_t untilMs) const {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    if (core_) {
        writer.Key("core");
        writeJsonText(writer, core_->text());
    }
    writer.Key("until");
    writeMinutes(writer, untilMs);
    writer.Key("resources");
    writer.StartObject();
    for (const auto& [path, valueJson] : resources_) {
        writeJsonKey(writer, path);
        writer.RawValue(valueJson.data(), valueJson.size(), rapidjson::kObjectType);
    }
    writer.EndObject();
    writer.Key("steps");
    writer.StartArray();
    for (const Step& step : steps_) {
        writer.StartObject();
        writer.Key("at");
        writeMinutes(writer, step.atMs);
        writer.Key(actionKey(step.action));
        writeJsonText(writer, step.path);
        if (step.action == StepAction::Update || step.action == StepAction::Create) {
            writer.Key("value");
            writer.RawValue(step.valueJson.data(), step.valueJson.size(), rapidjson::kObjectType);
        }
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kiv::kivhost
