// The platform's core process as the development host plays it: the world around the plugins
// (clock, timers, event bus, resource store, log), the loaded plugins, and the routing between
// them. Everything here but the delivery thread itself, the clock and the journal runs on the
// delivery thread.
#pragma once

#include "kivhost/core/delivery_thread.h"
#include "kivhost/core/event_bus.h"
#include "kivhost/core/host_clock.h"
#include "kivhost/core/host_journal.h"
#include "kivhost/core/host_options.h"
#include "kivhost/core/issued_records.h"
#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/plugin_services.h"
#include "kivhost/core/resource_store.h"
#include "kivhost/core/timer_queue.h"

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

class PluginSession;
struct FunctionDescription;

class CoreProcess final : public RequestRouter {
  public:
    explicit CoreProcess(const HostOptions& options);
    ~CoreProcess();
    CoreProcess(const CoreProcess&) = delete;
    CoreProcess& operator=(const CoreProcess&) = delete;

    // ---- Plugins (see PluginHost) ---------------------------------------------------------------
    PluginId load(const std::filesystem::path& library, const std::string& entryName);
    // Initialises the plugin and delivers the events it sent meanwhile.
    bool initialize(PluginId id);
    // Unloads the plugin and delivers the events it sent meanwhile.
    void unload(PluginId id);
    PluginSession& session(PluginId id);
    std::size_t pluginCount() const noexcept { return sessions_.size(); }

    // ---- Requests and events ---------------------------------------------------------------------
    // Answers a request the way the platform routes it: to the loaded plugin whose HTTP function
    // matches, else from the resource store.
    void serveRequest(HostResponse& response, const HostRequest& request) override;
    // A request the host itself makes; the answer is read, released and recorded.
    Response request(std::uint32_t method, const std::string& path);
    // See PluginHost::callFunction and PluginHost::methodsAt.
    std::optional<Response> callFunction(std::uint32_t method, const std::string& path);
    std::vector<std::uint32_t> methodsAt(std::string_view path) const;
    void changeResource(ResourceChangeKind change, const std::string& path, const Value& value);
    void publish(const std::string& name, const Value& payload);

    // ---- The clock -------------------------------------------------------------------------------
    // Runs the timers due at or before `untilMs` and moves the clock there.
    void runDue(std::int64_t untilMs);
    // Runs the callback of the index-th scheduled timer once more (see PluginHost::replayTimer).
    void replayTimer(std::size_t index);

    // The host's counters, gathered from the parts that keep them.
    HostCounters counters() const;
    // Throws std::bad_alloc when a call of the host table ran out of memory: the call itself
    // returned to the plugin, which takes no exception, and the host's work ends here instead.
    void endIfOutOfMemory();

    // The parts, for the host's questions about them. The delivery thread, the clock and the
    // journal may be used from any thread; the others only on the delivery thread.
    DeliveryThread& delivery() noexcept { return delivery_; }
    const HostClock& clock() const noexcept { return clock_; }
    HostJournal& journal() noexcept { return journal_; }
    const TimerQueue& timers() const noexcept { return timers_; }
    ResourceStore& store() noexcept { return store_; }

  private:
    struct Route {
        PluginSession* session;
        const FunctionDescription* function;
    };
    PluginServices servicesForPlugins();
    std::optional<Route> findRoute(std::uint32_t method, const char* customMethod, std::string_view path);
    void dispatch(const Route& route, HostResponse& response, const HostRequest& request);
    // Dispatches to the route and reads the answer, recording the plugin's faults.
    Response callRoute(const Route& route, std::uint32_t method, const std::string& path);
    void recordFault(const std::string& plugin, std::string text);
    // Delivers the events on the bus, also those that deliveries send, until none is left.
    void deliverPostedEvents();
    void deliver(const PostedEvent& event);
    void runTimer(const DueTimer& timer);

    HostOptions options_;
    HostClock clock_;
    HostJournal journal_;
    TimerQueue timers_;
    EventBus bus_;
    ResourceStore store_;
    std::shared_ptr<IssuedCounts> issued_;
    HostCounters calls_; // the counts of yields, waits and hostOperation1 calls
    std::vector<std::unique_ptr<PluginSession>> sessions_;
    DeliveryThread delivery_; // declared last, so it stops before anything it uses goes
};

} // namespace kiv::kivhost
