// The development host: plays the platform's core process for one or more plugin libraries,
// using nothing but the records of the host boundary.
//
// It loads a library and calls its export with a load record, initialises the plugin with a
// HostInterface whose ten entries it implements, and unloads it at the end. Around the plugins
// it keeps the platform's world: a store of other plugins' resources that answers GETs, the
// routing of requests to the plugins' own HTTP functions, an event bus, timers on a virtual or a
// real clock and the log sink. Every entry into a plugin runs on one delivery thread of the host,
// as on the platform; the methods below may be called from any one thread and wait for it.
// Everything that happens is recorded as a Happening.
#pragma once

#include "kivhost/core/happening.h"
#include "kivhost/core/host_error.h"
#include "kivhost/core/host_options.h"
#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/plugin_info.h"

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kiv::kivhost {

class PluginHost {
  public:
    explicit PluginHost(HostOptions options = {});
    // Unloads every plugin still loaded.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // ---- Plugins -------------------------------------------------------------------------------
    // Loads the library, calls its export with a load record carrying the core version, reads
    // what the plugin wrote back and publishes its HTTP functions to the routing. Without an
    // entry name the export is load_ followed by the file name's stem (a leading "lib" may be
    // left out). A path without a folder is the file in the current folder; only a bare name that
    // is no file there is looked up in the library search path. Throws HostError when the library
    // or the export is missing, when the plugin
    // wrote no callbacks or no name (a failed load), or when its API version does not fit the
    // core; a plugin refused for its version is unloaded first.
    PluginId load(const std::filesystem::path& library, const std::string& entryName = {});
    // Calls initialize with the plugin's HostInterface and returns what it returned.
    bool initialize(PluginId id);
    // Calls unload; the plugin's pending timers, subscriptions and functions are dropped after
    // it, and its memory statistics are read. Unloading twice does nothing.
    void unload(PluginId id);
    // The plugin's memory statistics, also after unload (the callback does not use the handle).
    MemoryStatistics memoryStatistics(PluginId id);
    PluginInfo plugin(PluginId id) const;
    std::size_t pluginCount() const;

    // ---- Other plugins' resources --------------------------------------------------------------
    // Stores a value without telling anyone (the world as it is before the plugins start).
    void putResource(const std::string& path, const Value& value);
    std::optional<Value> resource(const std::string& path) const;
    // Every stored resource, in path order.
    std::vector<std::pair<std::string, Value>> resources() const;
    // Create and Update replace the stored value (no merging), Delete removes it; each then
    // sends the resource event {uri, eventType, data} under the path's event name, Delete with
    // empty data, as the platform does.
    void changeResource(ResourceChangeKind change, const std::string& path, const Value& value = {});

    // ---- Requests and events -------------------------------------------------------------------
    // Sends a request through the platform's routing: to the loaded plugin whose HTTP function
    // matches method and path, else to the resource store (GET only). Records the response.
    Response request(std::uint32_t method, const std::string& path);
    // A request from a client outside the platform (a program talking to `kivhost serve`): routed
    // to the plugins' HTTP functions as the platform routes it, but never answered from the
    // resource store and not recorded. nullopt when no function takes the method at the path.
    std::optional<Response> callFunction(std::uint32_t method, const std::string& path);
    // The methods of the plugins' functions whose templates match the path, in function order;
    // KIV_HTTP_METHOD_NONE stands for a function that takes every method.
    std::vector<std::uint32_t> methodsAt(const std::string& path) const;
    // Puts an event on the bus as another plugin would, and delivers it to its subscribers.
    void publish(const std::string& name, const Value& payload);

    // ---- The clock -----------------------------------------------------------------------------
    std::int64_t nowMs() const;
    std::optional<std::int64_t> nextDueMs() const;
    std::size_t pendingTimers() const;
    // Runs every timer due at or before `ms`, in due order and, at equal due times, in
    // scheduling order (also those scheduled meanwhile), then sets the clock to `ms` (the real
    // clock waits for each moment).
    void runUntil(std::int64_t ms);
    // Every timer scheduled so far, in scheduling order.
    std::vector<TimerRecord> timerHistory() const;
    // The timers not run yet, in the order they will run.
    std::vector<PendingTimer> pendingTimersInDueOrder() const;
    // Runs the callback of the index-th scheduled timer once more, as a faulty platform would:
    // after it has run, or after its plugin was unloaded.
    void replayTimer(std::size_t index);

    // ---- What happened -------------------------------------------------------------------------
    std::vector<Happening> happenings() const;
    // Called on the delivery thread with each happening as it is recorded.
    void setListener(std::function<void(const Happening&)> listener);
    HostCounters counters() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kiv::kivhost
