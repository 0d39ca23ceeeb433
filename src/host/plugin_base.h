// The plugin base: the parts every plugin object has between itself and the host, and the host's
// ways into them. Each part has one job:
//   HostPort             the host's function table: the plugin's only way out;
//   JsonApiClient        requests to other plugins' resources, converted to native types;
//   ResourceObservers    resource events both ways: observers, subscriptions, publication;
//   ServiceProxyMailbox  service-proxy messages and the requests waiting for them;
//   JobScheduler         one-shot jobs on the host's timer.
// The host comes in through three callbacks here (resource events, service-proxy events, timers)
// and through the loader's and the router's; every one of them takes the plugin's entry lock
// through its gate, so the parts serve one entry at a time and find the plugin gone, not freed.
//
// One locking rule: the entry lock guards the state of every part, and the parts keep no lock of
// their own. Every entry may come on any host thread, and the parts assert that the lock is held
// wherever they read or change their state; code that calls a part from outside an entry (a
// test, a tool) takes the entry first (PluginEntry). Only what several plugin objects share has
// a lock of its own: the process-wide tables of live plugins, job tokens and record arenas, the
// binding registry's caches and the log service.
#pragma once

#include "host/host_port.h"
#include "host/job_scheduler.h"
#include "host/json_api_client.h"
#include "host/plugin_gate.h"
#include "host/resource_observers.h"
#include "host/service_proxy.h"
#include "kiv/plugin_abi.h"
#include "platform/steady_clock.h"

#include <memory>
#include <string>
#include <string_view>

namespace kiv {

class BindingRegistry;

class PluginBase {
  public:
    PluginBase();
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;
    virtual ~PluginBase();

    // The opaque handle the host holds for this plugin (load record, event subscriptions).
    void* handle() const noexcept { return listing_.handle(); }
    const std::shared_ptr<PluginGate>& gate() const noexcept { return gate_; }
    // Marks the plugin gone for every later entry and drops its pending jobs. Called by unload
    // under the entry lock, and by the destructor.
    void retire() noexcept;

    // Initialise's part: connects to the host and subscribes the service-proxy events.
    void connect(HostInterface* host, std::string_view shortName);
    // Unload's part: unsubscribes every host event and forgets observers and service-proxy
    // messages. Sends nothing else and waits for nothing.
    void disconnect();

    const std::string& shortName() const noexcept { return shortName_; }
    // The registry with which answers, events and payloads are converted.
    BindingRegistry& registry() noexcept { return *registry_; }
    const BindingRegistry& registry() const noexcept { return *registry_; }

    // The clock of the plugin's moments and delays, chosen at construction for the object's life.
    const platform::SteadyClock& clock() const noexcept { return clock_; }
    const HostPort& host() const noexcept { return host_; }
    const JsonApiClient& client() const noexcept { return client_; }
    ResourceObservers& observers() noexcept { return observers_; }
    ServiceProxyMailbox& serviceProxy() noexcept { return serviceProxy_; }
    JobScheduler& jobs() noexcept { return jobs_; }

  private:
    static void KIV_CDECL onResourceEvent(const HostEventRecord* event);
    static void KIV_CDECL onServiceProxyEvent(const HostEventRecord* event);
    static void KIV_CDECL onJobDue(void* token);

    std::shared_ptr<PluginGate> gate_;
    PluginListing listing_;
    platform::SteadyClock clock_;
    std::string shortName_;
    std::unique_ptr<BindingRegistry> registry_;
    HostPort host_;
    JsonApiClient client_;
    ResourceObservers observers_;
    ServiceProxyMailbox serviceProxy_;
    JobScheduler jobs_;
};

} // namespace kiv
