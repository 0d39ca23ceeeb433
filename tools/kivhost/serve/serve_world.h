// The world `kivhost serve` keeps: the development host with the plugin loaded and initialised,
// the scenario's steps still to play, the simulated clock, and the feed of what happened.
//
// The clock is virtual: it moves when a client advances it, and with a speed above 0 also with
// the real clock (speed simulated seconds per real second). Either way the timers and scenario
// steps due meanwhile run in time order, as `kivhost run` plays them. The methods may be called
// from any thread; the host takes every call into the plugin to its one delivery thread.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "kivhost/scenario/scenario.h"
#include "kivhost/serve/event_feed.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kiv::kivhost {

struct ServeSetup {
    std::filesystem::path plugin;
    ClockKind clock = ClockKind::Virtual;
    double speed = 1.0; // on the real clock: simulated seconds per real second
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

    bool initialized() const noexcept { return initialized_; }
    PluginHost& host() noexcept { return host_; }
    EventFeed& feed() noexcept { return feed_; }

    // Moves the clock forward by `ms`, running what falls due on the way.
    void advanceBy(std::int64_t ms);
    // PUT: creates the resource, or updates it when it is stored; returns the change made.
    ResourceChangeKind putResource(const std::string& path, const Value& value);
    // DELETE: false when nothing is stored at the path (and nothing is sent).
    bool deleteResource(const std::string& path);
    // A client's GET of the plugin's function at the target (path and query), after the timers
    // due by now have run; nullopt when no function takes GET there.
    std::optional<Response> callFunction(const std::string& target);

    // {"t", "clock", "speed", "timers": [{"name", "due"}], "first", "next", "timeline": [...]}:
    // the clock in seconds, the pending timers with their due times in seconds, the ids of the
    // oldest entry the feed keeps and of its next one, and the timeline kept as `kivhost run
    // --json` writes it.
    std::string stateJson() const;

  private:
    // The moment the clock should show now: what clients advanced plus the real time elapsed
    // times the speed.
    std::int64_t targetMs() const;
    // Plays the steps and timers due up to the target, in time order, and moves the clock there.
    void catchUp();
    void pace();

    const ClockKind clockKind_;
    const double speed_;
    EventFeed feed_; // outlives the host, whose listener writes to it
    PluginHost host_;
    bool initialized_ = false;
    PluginId plugin_ = 0;

    mutable std::mutex clockMutex_; // one catch-up at a time, so that steps play in order
    std::vector<ScenarioStep> steps_;
    std::size_t nextStep_ = 0;
    std::int64_t advancedMs_ = 0;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

    std::mutex pacingMutex_;
    std::condition_variable pacingStop_;
    bool stopping_ = false;
    std::thread pacer_; // on the real clock only
};

} // namespace kiv::kivhost
