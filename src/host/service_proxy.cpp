#include "host/service_proxy.h"

#include "format/message_format.h"
#include "host/event_payload.h"
#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_record.h"
#include "platform/invariant.h"

#include <optional>
#include <utility>

namespace kiv {

namespace {

constexpr const char* kByUuidEvent = "OnServiceProxyUuidEvent";
constexpr const char* kByMethodEvent = "OnServiceProxyMethodEvent";
constexpr const char* kAsyncEvent = "OnServiceProxyAsyncEvent";

} // namespace

void ServiceProxyMailbox::subscribe() {
    requireEntry();
    subscribed_ = true;
    for (const char* name : {kByUuidEvent, kByMethodEvent, kAsyncEvent}) {
        host_.subscribeEvent(name, delivery_, KIV_EVENT_KIND_SERVICE_PROXY);
    }
}

void ServiceProxyMailbox::unsubscribe() {
    requireEntry();
    if (!std::exchange(subscribed_, false)) {
        return;
    }
    for (const char* name : {kAsyncEvent, kByMethodEvent, kByUuidEvent}) {
        host_.unsubscribeEvent(name);
    }
}

void ServiceProxyMailbox::deliver(std::string_view eventName, const FlatValue& payload) {
    requireEntry();
    using Receive = void (ServiceProxyMailbox::*)(const PluginServiceProxyResponse&);
    Receive receive = nullptr;
    if (eventName == kByUuidEvent) {
        receive = &ServiceProxyMailbox::receiveByUuid;
    } else if (eventName == kByMethodEvent) {
        receive = &ServiceProxyMailbox::receiveByMethod;
    } else if (eventName == kAsyncEvent) {
        receive = &ServiceProxyMailbox::receiveAsync;
    }
    if (!subscribed_ || !receive) {
        return;
    }
    const std::optional<PluginServiceProxyResponse> response = acceptEventPayload<PluginServiceProxyResponse>(
        payload, eventName, "PluginServiceProxyResponse", registry_, shortName_);
    if (response) {
        (this->*receive)(*response);
    }
}

std::string ServiceProxyMailbox::methodKey(const PluginServiceProxyResponse& response) {
    return formatMessage("%1.%2", {response.serviceName, response.methodName});
}

void ServiceProxyMailbox::keep(std::string key, const PluginServiceProxyResponse& response) {
    requireEntry();
    received_.insert_or_assign(std::move(key), response);
}

void ServiceProxyMailbox::receiveByUuid(const PluginServiceProxyResponse& response) {
    keep(response.uuid, response);
    fulfilPendingRequest();
}

void ServiceProxyMailbox::receiveByMethod(const PluginServiceProxyResponse& response) {
    keep(methodKey(response), response);
    fulfilPendingRequest();
}

void ServiceProxyMailbox::receiveAsync(const PluginServiceProxyResponse& response) {
    const std::string key = methodKey(response);
    Callback handler;
    {
        requireEntry();
        if (auto it = asyncHandlers_.find(key); it != asyncHandlers_.end()) {
            handler = it->second;
        }
    }
    if (handler) {
        handler(response);
        return;
    }
    const std::string& name = shortName_;
    LogMessage(LogLevel::Error, kLogGroupDbg,
               "%s: Could not find registered handler for async service proxy event %s", name.c_str(),
               key.c_str());
}

void ServiceProxyMailbox::fulfilPendingRequest() {
    struct Match {
        std::string key;
        Callback callback;
        PluginServiceProxyResponse response;
    };
    std::optional<Match> match;
    {
        requireEntry();
        for (auto answer = received_.begin(); answer != received_.end(); ++answer) {
            auto request = pending_.find(answer->first);
            if (request == pending_.end()) {
                continue;
            }
            match = Match{answer->first, std::move(request->second), std::move(answer->second)};
            pending_.erase(request);
            received_.erase(answer);
            break;
        }
    }
    if (!match) {
        return;
    }
    if (match->callback) {
        match->callback(match->response);
    }
    const std::string& name = shortName_;
    LogMessage(LogLevel::Always, kLogGroupDbg, "%s: Fulfilled service proxy request: %s", name.c_str(),
               match->key.c_str());
}

void ServiceProxyMailbox::addPendingRequest(std::string key, Callback callback) {
    requireEntry();
    pending_.insert_or_assign(std::move(key), std::move(callback));
}

void ServiceProxyMailbox::addAsyncHandler(std::string key, Callback callback) {
    requireEntry();
    asyncHandlers_.insert_or_assign(std::move(key), std::move(callback));
}

void ServiceProxyMailbox::clear() {
    // The callbacks are destroyed once the tables are empty: what they capture may reach here.
    decltype(pending_) pending;
    decltype(asyncHandlers_) asyncHandlers;
    decltype(received_) received;
    requireEntry();
    pending.swap(pending_);
    asyncHandlers.swap(asyncHandlers_);
    received.swap(received_);
}

std::size_t ServiceProxyMailbox::receivedCount() const {
    requireEntry();
    return received_.size();
}

std::size_t ServiceProxyMailbox::pendingCount() const {
    requireEntry();
    return pending_.size();
}

bool ServiceProxyMailbox::received(std::string_view key, PluginServiceProxyResponse& copy) const {
    requireEntry();
    auto it = received_.find(key);
    if (it == received_.end()) {
        return false;
    }
    copy = it->second;
    return true;
}

void ServiceProxyMailbox::requireEntry() const noexcept {
    KIV_ASSERT(entryLock_.isHeldByCaller(), "the service-proxy tables are used inside the plugin's entry");
}

} // namespace kiv
