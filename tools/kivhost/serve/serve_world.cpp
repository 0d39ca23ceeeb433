#include "kivhost/serve/serve_world.h"

#include "kivhost/core/host_clock.h"
#include "kivhost/core/json_text.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"
#include "platform/saturating.h"

#include <algorithm>
#include <cmath>

namespace kiv::kivhost {
namespace {

// How often the real clock's pacing looks at the time: fine enough for a person watching.
constexpr std::chrono::milliseconds kPacingTick{100};

HostOptions hostOptionsOf(const Scenario& scenario) {
    HostOptions options;
    options.core = scenario.core.value_or(CoreVersion{});
    // The host's own clock is always virtual: the world moves it, so that the delivery thread
    // never sleeps waiting for a moment and clients' requests are answered meanwhile.
    options.clock = ClockKind::Virtual;
    return options;
}

} // namespace

ServeWorld::ServeWorld(const Scenario& scenario, const ServeSetup& setup)
    : clockKind_(setup.clock), speed_(setup.speed), host_(hostOptionsOf(scenario)), steps_(scenario.steps) {
    host_.setListener([this](const Happening& happening) { feed_.add(happening); });
    for (const auto& [path, value] : scenario.resources) {
        host_.putResource(path, value);
    }
    plugin_ = host_.load(setup.plugin);
    initialized_ = host_.initialize(plugin_);
    if (!initialized_) {
        return;
    }
    catchUp(); // steps at minute 0
    if (clockKind_ == ClockKind::Real) {
        pacer_ = std::thread([this] { pace(); });
    }
}

ServeWorld::~ServeWorld() {
    {
        std::lock_guard lock(pacingMutex_);
        stopping_ = true;
    }
    pacingStop_.notify_all();
    if (pacer_.joinable()) {
        pacer_.join();
    }
    try {
        host_.unload(plugin_);
    } catch (...) {
        // A plugin that faults while unloading is recorded by the host; the server stops anyway.
    }
}

std::int64_t ServeWorld::targetMs() const {
    if (clockKind_ == ClockKind::Virtual) {
        return advancedMs_;
    }
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
    const double paced = elapsedMs * speed_;
    const auto pacedMs = paced >= static_cast<double>(kEndOfTime) ? kEndOfTime : std::llround(paced);
    return platform::saturatingAdd(advancedMs_, pacedMs);
}

void ServeWorld::catchUp() {
    const std::int64_t target = targetMs();
    while (nextStep_ < steps_.size() && steps_[nextStep_].atMs <= target) {
        const ScenarioStep& step = steps_[nextStep_++];
        // Timers due at a step's moment run before the step, as in `kivhost run`.
        host_.runUntil(step.atMs);
        playStep(host_, step);
    }
    host_.runUntil(target);
}

void ServeWorld::advanceBy(std::int64_t ms) {
    std::lock_guard lock(clockMutex_);
    advancedMs_ = platform::saturatingAdd(advancedMs_, ms);
    catchUp();
}

void ServeWorld::pace() {
    std::unique_lock lock(pacingMutex_);
    while (!pacingStop_.wait_for(lock, kPacingTick, [this] { return stopping_; })) {
        std::lock_guard clock(clockMutex_);
        catchUp();
    }
}

ResourceChangeKind ServeWorld::putResource(const std::string& path, const Value& value) {
    std::lock_guard lock(clockMutex_);
    const ResourceChangeKind change =
        host_.resource(path) ? ResourceChangeKind::Update : ResourceChangeKind::Create;
    host_.changeResource(change, path, value);
    catchUp(); // a moment the change put in the past is due now
    return change;
}

bool ServeWorld::deleteResource(const std::string& path) {
    std::lock_guard lock(clockMutex_);
    if (!host_.resource(path)) {
        return false;
    }
    host_.changeResource(ResourceChangeKind::Delete, path);
    catchUp();
    return true;
}

std::optional<Response> ServeWorld::callFunction(const std::string& target) {
    std::lock_guard lock(clockMutex_);
    catchUp(); // what is due now runs before the plugin answers
    return host_.callFunction(KIV_HTTP_METHOD_GET, target);
}

std::string ServeWorld::stateJson() const {
    std::vector<TimerRecord> timers;
    std::int64_t now = 0;
    FeedBatch timeline;
    {
        // One consistent picture: no catch-up runs while it is taken.
        std::lock_guard lock(clockMutex_);
        timers = host_.timerHistory();
        std::stable_sort(timers.begin(), timers.end(),
                         [](const TimerRecord& a, const TimerRecord& b) { return a.dueMs < b.dueMs; });
        now = host_.nowMs();
        timeline = feed_.kept();
    }
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("t");
    writeSeconds(writer, now);
    writer.Key("clock");
    writer.String(clockKind_ == ClockKind::Virtual ? "virtual" : "real");
    writer.Key("speed");
    writer.Double(clockKind_ == ClockKind::Virtual ? 0.0 : speed_);
    writer.Key("timers");
    writer.StartArray();
    for (const TimerRecord& timer : timers) {
        if (timer.fired) {
            continue;
        }
        writer.StartObject();
        writer.Key("name");
        writeJsonText(writer, timer.name);
        writer.Key("due");
        writeSeconds(writer, timer.dueMs);
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("first");
    writer.Uint64(timeline.first);
    writer.Key("next");
    writer.Uint64(timeline.first + timeline.entries.size());
    writer.Key("timeline");
    writer.StartArray();
    for (const auto& entry : timeline.entries) {
        writer.RawValue(entry->line.data(), entry->line.size(), rapidjson::kObjectType);
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kiv::kivhost
