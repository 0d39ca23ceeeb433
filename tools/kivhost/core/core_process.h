// The platform's core process as the development host plays it: the world around the plugins
// (clock, timers, event bus, resource store, log), the loaded plugins, and the routing between
// them. Everything here runs on the delivery thread.
#pragma once

#include "kivhost/core/delivery_thread.h"
#include "kivhost/core/event_bus.h"
#include "kivhost/core/host_clock.h"
#include "kivhost/core/host_journal.h"
#include "kivhost/core/issued_records.h"
#include "kivhost/core/plugin_host.h"
#include "kivhost/core/resource_store.h"
#include "kivhost/core/timer_queue.h"

#include <memory>
#include <string>
#include <vector>

namespace kiv::kivhost {

class PluginSession;
struct FunctionDescription;

class CoreProcess {
  public:
    explicit CoreProcess(const HostOptions& hostOptions);
    ~CoreProcess();

    PluginSession& session(PluginId id);

    // Answers a request the way the platform routes it: to the loaded plugin whose HTTP function
    // matches, else from the resource store. `response` is zeroed first.
    void serveRequest(HostResponse& response, const HostRequest& request);
    // A request the host itself makes; the answer is read, released and recorded.
    Response request(std::uint32_t method, const std::string& path);
    // See PluginHost::callFunction and PluginHost::methodsAt.
    std::optional<Response> callFunction(std::uint32_t method, const std::string& path);
    std::vector<std::uint32_t> methodsAt(std::string_view path) const;

    // Delivers the events on the bus, also those that deliveries send, until none is left.
    void deliverPostedEvents();
    // Runs the timers due at or before `untilMs` and moves the clock there.
    void runDue(std::int64_t untilMs);
    void runTimer(const DueTimer& timer);

    void changeResource(ResourceChange change, const std::string& path, const Value& value);
    void publish(const std::string& name, const Value& payload);

    void recordFault(const std::string& plugin, std::string text);

    HostOptions options;
    HostClock clock;
    HostJournal journal;
    TimerQueue timers;
    EventBus bus;
    ResourceStore store;
    std::shared_ptr<IssuedCounts> issued;
    HostCounters calls; // the counts of yields, waits and hostOperation1 calls
    std::vector<std::unique_ptr<PluginSession>> sessions;
    DeliveryThread delivery; // declared last, so it stops before anything it uses goes

  private:
    struct Route {
        PluginSession* session;
        const FunctionDescription* function;
        std::size_t index;
    };
    std::optional<Route> findRoute(std::uint32_t method, const char* customMethod, std::string_view path);
    void dispatch(const Route& route, HostResponse& response, const HostRequest& request);
    // Dispatches to the route and reads the answer, recording the plugin's faults.
    Response callRoute(const Route& route, std::uint32_t method, const std::string& path);
    void deliver(const PostedEvent& event);
};

} // namespace kiv::kivhost
