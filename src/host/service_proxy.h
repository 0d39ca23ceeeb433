// The receiving side of service-proxy messages: answers to service calls, keyed by request uuid
// or by service and method, wait here until the callback registered for their key takes them;
// asynchronous messages go straight to the handler registered for their service and method.
// The messages come through three host events, one for each of the three ways in.
//
// The three tables have no lock of their own: everything runs inside the plugin's entry
// (asserted), and a callback may register a follow-up request or handler while it runs.
#pragma once

#include "host/host_port.h"
#include "host/host_types.h"
#include "platform/recursive_lock.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace kiv {

class BindingRegistry;

class ServiceProxyMailbox {
  public:
    using Callback = std::function<void(const PluginServiceProxyResponse&)>;

    ServiceProxyMailbox(const HostPort& host, const BindingRegistry& registry, const std::string& shortName,
                        EventDelivery delivery, const platform::RecursiveLock& entryLock) noexcept
        : host_(host), registry_(registry), shortName_(shortName), delivery_(delivery),
          entryLock_(entryLock) {}

    // Subscribes the three events, by uuid, by method and async, in that order; or unsubscribes
    // them, in the order of their names.
    void subscribe();
    void unsubscribe();
    // A service-proxy event from the host: its message converted and received the way its event
    // says, while the events are subscribed.
    void deliver(std::string_view eventName, const FlatValue& payload);

    // "service.method": answers by method and async handlers are filed under it.
    [[nodiscard]] static std::string methodKey(const PluginServiceProxyResponse& response);

    // Keeps a copy of the answer under its uuid (or its method key), replacing an earlier one of
    // that key, then runs fulfilPendingRequest.
    void receiveByUuid(const PluginServiceProxyResponse& response);
    void receiveByMethod(const PluginServiceProxyResponse& response);
    // Calls the async handler of the message's method key, or logs that there is none. Async
    // messages are never kept.
    void receiveAsync(const PluginServiceProxyResponse& response);

    // Hands the first kept answer (in key order) that has a pending request to that request's
    // callback, removes both, and logs the fulfilment. At most one per run.
    void fulfilPendingRequest();

    // A callback waiting for the answer of `key`, replacing one waiting for the same key.
    void addPendingRequest(std::string key, Callback callback);
    // The handler of async messages of `key` ("service.method"), replacing an earlier one.
    void addAsyncHandler(std::string key, Callback callback);

    // Empties the three tables.
    void clear();

    [[nodiscard]] std::size_t receivedCount() const;
    [[nodiscard]] std::size_t pendingCount() const;
    // The kept answer of `key`, if any.
    [[nodiscard]] bool received(std::string_view key, PluginServiceProxyResponse& copy) const;

  private:
    void keep(std::string key, const PluginServiceProxyResponse& response);
    void requireEntry() const noexcept;

    const HostPort& host_;
    const BindingRegistry& registry_;
    const std::string& shortName_;
    EventDelivery delivery_;
    const platform::RecursiveLock& entryLock_;
    bool subscribed_ = false;
    std::map<std::string, Callback, std::less<>> pending_;
    std::map<std::string, Callback, std::less<>> asyncHandlers_;
    std::map<std::string, PluginServiceProxyResponse, std::less<>> received_;
};

} // namespace kiv
