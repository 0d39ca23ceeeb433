// The world `kivhost serve` keeps: the development host with the plugin loaded and initialised,
// the scenario's steps still to play, the simulated clock, the feed of what happened and the
// recording of it.
//
// The clock is virtual: it moves when a client advances it, and with a speed above 0 also with
// the real clock (speed simulated seconds per real second) unless paused. Either way the timers
// and scenario steps due meanwhile run in time order, as `kivhost run` plays them, and what is
// due at the current moment runs before any answer. The clock stops at kMaxClockMs, the last
// moment a scenario can name, so that every recording replays. A reset unloads the plugin and
// starts a new instance of the world: a fresh host, clock, feed and recording.
//
// Its memory stays bounded whatever clients do: the host keeps no journal (the feed, bounded, is
// the history), the recording keeps its newest steps, and the resource store holds what its
// limits allow (resource_budget.h). The methods may be called from
// any thread; the host takes every call into the plugin to its one delivery thread.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "kivhost/scenario/scenario.h"
#include "kivhost/serve/event_feed.h"
#include "kivhost/serve/resource_budget.h"
#include "kivhost/serve/session_recording.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kiv::kivhost {

// The last moment the clock shows: the latest a scenario can name.
inline constexpr std::int64_t kMaxClockMs = kMaxScenarioMinutes * 60000;

// A pending timer, with its place in the order timers were scheduled in.
// The world as a client's state answer shows it: the instance, the clock and the pending timers
// in due order.
struct WorldState {
    std::string instance;
    std::int64_t nowMs = 0;
    ClockKind clock = ClockKind::Virtual;
    double speed = 0.0;
    bool paused = false;
    std::vector<PendingTimer> timers;
};

struct ServeSetup {
    std::filesystem::path plugin;
    ClockKind clock = ClockKind::Virtual;
    double speed = 1.0;  // on the real clock: simulated seconds per real second
    FeedForward forward; // where the feed's entries go, when not kept here
};

class ServeWorld {
  public:
    // Puts the scenario's resources, loads and initialises the plugin; throws HostError when the
    // plugin cannot be loaded. Check initialized() before serving.
    ServeWorld(const Scenario& scenario, const ServeSetup& setup);
    // Stops the real clock's pacing and unloads the plugin.
    ~ServeWorld();
    ServeWorld(const ServeWorld&) = delete;
    ServeWorld& operator=(const ServeWorld&) = delete;

    bool initialized() const;
    EventFeed& feed() noexcept { return feed_; }

    // Moves the clock forward by `ms`, running what falls due on the way; false (and nothing
    // moves) when that passes kMaxClockMs.
    bool advanceBy(std::int64_t ms);
    // Moves the clock to `ms`; false (and nothing moves) when that lies in the past.
    bool advanceTo(std::int64_t ms);
    // Moves the clock to the next pending timer's moment; false when no timer is pending before
    // kMaxClockMs.
    bool advanceToNextTimer();
    // The real clock stops and goes on; false on the virtual clock, which never runs by itself.
    bool pause();
    bool resume();

    // PUT: creates the resource, or updates it when it is stored; returns the change made, or
    // nullopt (and nothing changes) when the store's limits leave no room for it.
    std::optional<ResourceChangeKind> putResource(const std::string& path, const Value& value);
    // DELETE: false when nothing is stored at the path (and nothing is sent).
    bool deleteResource(const std::string& path);
    // A client's GET of the plugin's function at the target (path and query); nullopt when no
    // function takes GET there.
    std::optional<Response> callFunction(const std::string& target);
    std::vector<std::pair<std::string, Value>> resources() const;
    std::vector<std::uint32_t> methodsAt(const std::string& target) const;
    PluginInfo plugin() const;
    std::int64_t nowMs() const;

    // Unloads the plugin and starts a new instance from the scenario given, or from the one the
    // server started with, its real clock running unless `paused`; returns what the plugin's
    // initialize returned. Throws HostError when the plugin cannot be loaded (the world then
    // serves without it).
    bool reset(const std::optional<Scenario>& scenario, bool paused = false);

    // The instance, the clock and the pending timers, taken in one consistent picture.
    WorldState state() const;
    // What happened since the start or the last reset, as a scenario in JSON.
    std::string recordingJson() const;

  private:
    // Starts a host on the scenario with a new instance id; under clockMutex_.
    void begin(const Scenario& scenario, bool paused);
    // Records a change of a resource made by a scenario step or a client, and its size in the
    // store; under clockMutex_.
    void noteChange(std::int64_t atMs, StepAction action, const std::string& path, const Value& value);
    // Unloads the plugin and drops the host; under clockMutex_ or alone.
    void end() noexcept;
    // The moment the clock should show now: what clients advanced plus the real time elapsed
    // times the speed.
    std::int64_t targetMs() const;
    // Plays the steps and timers due up to the target, in time order, and moves the clock there.
    void catchUp();
    void pace();

    const ClockKind clockKind_;
    const double speed_;
    const std::filesystem::path pluginFile_;
    const Scenario scenario_; // the one the server started with
    EventFeed feed_;          // outlives the host, whose listener writes to it

    mutable std::mutex clockMutex_; // one catch-up at a time, so that steps play in order
    std::unique_ptr<PluginHost> host_;
    std::string instance_; // the id of this instance of the world
    bool initialized_ = false;
    PluginId plugin_ = 0;
    SessionRecording recording_;
    ResourceBudget stored_;
    std::vector<ScenarioStep> steps_;
    std::size_t nextStep_ = 0;
    std::int64_t advancedMs_ = 0;
    std::chrono::steady_clock::time_point start_; // when the real clock last started running
    bool paused_ = false;

    std::mutex pacingMutex_;
    std::condition_variable pacingStop_;
    bool stopping_ = false;
    std::thread pacer_; // on the real clock only
};

} // namespace kiv::kivhost
