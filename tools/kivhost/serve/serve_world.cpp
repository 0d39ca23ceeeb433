#include "kivhost/serve/serve_world.h"

#include "kivhost/core/host_clock.h"
#include "kivhost/core/json_text.h"
#include "kivhost/scenario/scenario_player.h"
#include "platform/saturating.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

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
    // The feed is the history the server keeps, and it is bounded; a journal of every happening
    // would grow for as long as the server runs.
    options.keepHappenings = false;
    return options;
}

// A new id for each instance of the world, so that a client that reconnects tells a restarted or
// reset server from the one it knew.
std::string newInstanceId() {
    std::random_device random;
    const std::uint64_t id = (std::uint64_t(random()) << 32) ^ random() ^
                             std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
    return text;
}

} // namespace

ServeWorld::ServeWorld(const Scenario& scenario, const ServeSetup& setup)
    : clockKind_(setup.clock), speed_(setup.speed), pluginFile_(setup.plugin), scenario_(scenario) {
    feed_.forwardTo(setup.forward);
    {
        std::lock_guard lock(clockMutex_);
        begin(scenario_, false);
    }
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
    end();
}

void ServeWorld::end() noexcept {
    if (!host_) {
        return;
    }
    try {
        host_->unload(plugin_);
    } catch (...) {
        // A plugin that faults while unloading is recorded by the host; the world goes on anyway.
    }
    host_.reset();
}

void ServeWorld::begin(const Scenario& scenario, bool paused) {
    end();
    instance_ = newInstanceId();
    feed_.restart(instance_);
    initialized_ = false;
    steps_ = scenario.steps;
    nextStep_ = 0;
    advancedMs_ = 0;
    start_ = std::chrono::steady_clock::now();
    paused_ = paused && clockKind_ == ClockKind::Real;
    recording_.start(scenario);
    stored_.clear();
    host_ = std::make_unique<PluginHost>(hostOptionsOf(scenario));
    host_->setListener([this](const Happening& happening) { feed_.add(happening); });
    for (const auto& [path, value] : scenario.resources) {
        host_->putResource(path, value);
        stored_.store(path, toJson(value).size());
    }
    plugin_ = host_->load(pluginFile_);
    initialized_ = host_->initialize(plugin_);
    if (initialized_) {
        catchUp(); // steps at minute 0
    }
}

bool ServeWorld::reset(const std::optional<Scenario>& scenario, bool paused) {
    std::lock_guard lock(clockMutex_);
    begin(scenario ? *scenario : scenario_, paused);
    return initialized_;
}

bool ServeWorld::initialized() const {
    std::lock_guard lock(clockMutex_);
    return initialized_;
}

std::int64_t ServeWorld::targetMs() const {
    if (clockKind_ == ClockKind::Virtual || paused_) {
        return advancedMs_;
    }
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
    const double paced = elapsedMs * speed_;
    const auto pacedMs = paced >= static_cast<double>(kMaxClockMs) ? kMaxClockMs : std::llround(paced);
    return std::min(platform::saturatingAdd(advancedMs_, pacedMs), kMaxClockMs);
}

void ServeWorld::catchUp() {
    if (!initialized_) {
        return; // a plugin that refused to start is not driven
    }
    const std::int64_t target = targetMs();
    nextStep_ = playSteps(
        *host_, steps_, nextStep_, steps_.size(), target, [&](std::int64_t ms) { host_->runUntil(ms); },
        [&](const ScenarioStep& step) { noteChange(step.atMs, step.action, step.path, step.value); });
    host_->runUntil(target);
}

void ServeWorld::noteChange(std::int64_t atMs, StepAction action, const std::string& path,
                            const Value& value) {
    std::string valueJson;
    if (action == StepAction::Create || action == StepAction::Update) {
        valueJson = toJson(value);
        stored_.store(path, valueJson.size());
    } else if (action == StepAction::Delete) {
        stored_.erase(path);
    }
    recording_.add(atMs, action, path, std::move(valueJson));
}

bool ServeWorld::advanceBy(std::int64_t ms) {
    std::lock_guard lock(clockMutex_);
    if (ms > kMaxClockMs - targetMs()) {
        return false;
    }
    advancedMs_ = platform::saturatingAdd(advancedMs_, ms);
    catchUp();
    return true;
}

bool ServeWorld::advanceTo(std::int64_t ms) {
    std::lock_guard lock(clockMutex_);
    const std::int64_t now = targetMs();
    if (ms < now) {
        return false;
    }
    advancedMs_ = platform::saturatingAdd(advancedMs_, ms - now);
    catchUp();
    return true;
}

bool ServeWorld::advanceToNextTimer() {
    std::lock_guard lock(clockMutex_);
    catchUp();
    const std::optional<std::int64_t> due = host_->nextDueMs();
    if (!due || *due > kMaxClockMs) {
        return false;
    }
    advancedMs_ = platform::saturatingAdd(advancedMs_, std::max<std::int64_t>(0, *due - targetMs()));
    catchUp();
    return true;
}

bool ServeWorld::pause() {
    std::lock_guard lock(clockMutex_);
    if (clockKind_ != ClockKind::Real) {
        return false;
    }
    advancedMs_ = targetMs(); // the time run so far is kept as if advanced
    paused_ = true;
    catchUp();
    return true;
}

bool ServeWorld::resume() {
    std::lock_guard lock(clockMutex_);
    if (clockKind_ != ClockKind::Real) {
        return false;
    }
    if (paused_) {
        start_ = std::chrono::steady_clock::now();
        paused_ = false;
    }
    return true;
}

void ServeWorld::pace() {
    std::unique_lock lock(pacingMutex_);
    while (!pacingStop_.wait_for(lock, kPacingTick, [this] { return stopping_; })) {
        std::lock_guard clock(clockMutex_);
        catchUp();
    }
}

std::optional<ResourceChangeKind> ServeWorld::putResource(const std::string& path, const Value& value) {
    std::lock_guard lock(clockMutex_);
    catchUp();
    std::string valueJson = toJson(value);
    if (!stored_.fits(path, valueJson.size())) {
        return std::nullopt;
    }
    const ResourceChangeKind change =
        host_->resource(path) ? ResourceChangeKind::Update : ResourceChangeKind::Create;
    host_->changeResource(change, path, value);
    stored_.store(path, valueJson.size());
    recording_.add(host_->nowMs(),
                   change == ResourceChangeKind::Update ? StepAction::Update : StepAction::Create, path,
                   std::move(valueJson));
    catchUp(); // a moment the change put in the past is due now
    return change;
}

bool ServeWorld::deleteResource(const std::string& path) {
    std::lock_guard lock(clockMutex_);
    catchUp();
    if (!host_->resource(path)) {
        return false;
    }
    host_->changeResource(ResourceChangeKind::Delete, path);
    noteChange(host_->nowMs(), StepAction::Delete, path, {});
    catchUp();
    return true;
}

std::optional<Response> ServeWorld::callFunction(const std::string& target) {
    std::lock_guard lock(clockMutex_);
    catchUp(); // what is due now runs before the plugin answers
    std::optional<Response> response = host_->callFunction(KIV_HTTP_METHOD_GET, target);
    if (response) {
        recording_.add(host_->nowMs(), StepAction::Get, target);
    }
    return response;
}

std::vector<std::pair<std::string, Value>> ServeWorld::resources() const {
    std::lock_guard lock(clockMutex_);
    return host_->resources();
}

std::vector<std::uint32_t> ServeWorld::methodsAt(const std::string& target) const {
    std::lock_guard lock(clockMutex_);
    return host_->methodsAt(target);
}

PluginInfo ServeWorld::plugin() const {
    std::lock_guard lock(clockMutex_);
    return host_->plugin(plugin_);
}

std::int64_t ServeWorld::nowMs() const {
    std::lock_guard lock(clockMutex_);
    return host_->nowMs();
}

std::string ServeWorld::recordingJson() const {
    std::lock_guard lock(clockMutex_);
    return recording_.json(host_->nowMs());
}

WorldState ServeWorld::state() const {
    WorldState state;
    state.clock = clockKind_;
    state.speed = speed_;
    // One consistent picture: no catch-up runs while it is taken.
    std::lock_guard lock(clockMutex_);
    state.timers = host_->pendingTimersInDueOrder();
    state.nowMs = host_->nowMs();
    state.paused = paused_;
    state.instance = instance_;
    return state;
}

} // namespace kiv::kivhost
