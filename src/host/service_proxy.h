// The receiving side of service-proxy messages: answers to service calls, keyed by request uuid
// or by service and method, wait here until the callback registered for their key takes them;
// asynchronous messages go straight to the handler registered for their service and method.
//
// One plain mutex guards the three tables, and it is never held while a callback runs: a
// callback may register a follow-up request or handler without deadlocking.
#pragma once

#include "host/host_types.h"

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace kiv {

class ServiceProxyMailbox {
  public:
    using Callback = std::function<void(const PluginServiceProxyResponse&)>;

    // "%1.%2" with the service name and the method name.
    [[nodiscard]] static std::string methodKey(const PluginServiceProxyResponse& response);

    // Keeps a copy of the answer under its uuid (or its method key), replacing an earlier one of
    // that key, then runs fulfilPendingRequest.
    void receiveByUuid(const PluginServiceProxyResponse& response, std::string_view shortName);
    void receiveByMethod(const PluginServiceProxyResponse& response, std::string_view shortName);
    // Calls the async handler of the message's method key, or logs that there is none. Async
    // messages are never kept.
    void receiveAsync(const PluginServiceProxyResponse& response, std::string_view shortName);

    // Hands the first kept answer (in key order) that has a pending request to that request's
    // callback, removes both, and logs the fulfilment. At most one per run.
    void fulfilPendingRequest(std::string_view shortName);

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

    mutable std::mutex mutex_;
    std::map<std::string, Callback, std::less<>> pending_;
    std::map<std::string, Callback, std::less<>> asyncHandlers_;
    std::map<std::string, PluginServiceProxyResponse, std::less<>> received_;
};

} // namespace kiv
