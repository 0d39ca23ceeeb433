// Resource events both ways. Inbound: observers of resource paths (one path, or a pattern with
// "*"), the reference-counted host subscriptions of the events that carry their changes, and the
// delivery of those events to the observers of the changed path. Outbound: the plugin's own
// resource changes, announced under their path's event and the generic one.
//
// The tables have no lock of their own: every delivery runs under the plugin's entry lock, and so
// does everything that observes, subscribes or publishes (asserted).
#pragma once

#include "host/api_result.h"
#include "host/host_port.h"
#include "host/host_types.h"
#include "host/json_api_client.h"
#include "platform/recursive_lock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kiv {

using ResourceEventHandler = std::function<void(const PluginResourceEvent&)>;

class ResourceObservers {
  public:
    ResourceObservers(const HostPort& host, const JsonApiClient& client, const BindingRegistry& registry,
                      const std::string& shortName, EventDelivery delivery,
                      const platform::RecursiveLock& entryLock) noexcept
        : host_(host), client_(client), registry_(registry), shortName_(shortName), delivery_(delivery),
          entryLock_(entryLock) {}

    // Watches a resource path, or a pattern of paths: subscribes the path's host event, and for
    // a single path reads it at once and hands its value to the handler as a Create event. An
    // observer of the same path is replaced. The result is the first read's (a pattern reads
    // nothing and succeeds): a failed read reaches no handler.
    ApiResult<void> observe(std::string_view path, ResourceEventHandler handler);
    // Watches as observe does, but reads nothing: the handler hears of later changes only.
    void watch(std::string_view path, ResourceEventHandler handler);

    // Reference-counted host subscriptions of the event that carries a path's changes.
    void subscribe(std::string_view path);
    void unsubscribe(std::string_view path);

    // A resource event from the host: converted and handed to every observer of its path, when
    // its event is subscribed.
    void deliver(std::string_view eventName, const FlatValue& payload);

    // Announces the change of `uri` under its path's event name and, when that differs, under
    // `genericName` too. Enumerations travel as their names, as in responses. An event that cannot
    // be built (no memory) is traced and not sent: the host learns of changes only through events,
    // so there is no one to report the failure to.
    void publish(std::string_view genericName, std::string_view uri, PluginResourceEventType type,
                 Value data);

    // Unsubscribes every subscribed event and forgets every observer. Sends nothing else.
    void unsubscribeAll();

    [[nodiscard]] std::int32_t subscriptionCount(std::string_view eventName) const;

  private:
    using SharedHandler = std::shared_ptr<const ResourceEventHandler>;

    // Enters the observer of `path` and subscribes its event; whether the path is a pattern.
    bool enter(std::string_view path, const SharedHandler& handler);
    void dispatch(const PluginResourceEvent& event) const;
    void requireEntry() const noexcept;

    const HostPort& host_;
    const JsonApiClient& client_;
    const BindingRegistry& registry_;
    const std::string& shortName_;
    EventDelivery delivery_;
    const platform::RecursiveLock& entryLock_;
    std::unordered_map<std::string, SharedHandler> exactObservers_;
    std::map<std::string, SharedHandler, std::less<>> patternObservers_;
    std::map<std::string, std::int32_t, std::less<>> subscriptionCounts_;
};

} // namespace kiv
