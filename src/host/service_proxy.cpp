#include "host/service_proxy.h"

#include "format/message_format.h"
#include "host/event_payload.h"
#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_record.h"

#include <optional>
#include <utility>

namespace kiv {

namespace {

constexpr const char* kByUuidEvent = "OnServiceProxyUuidEvent";
constexpr const char* kByMethodEvent = "OnServiceProxyMethodEvent";
constexpr const char* kAsyncEvent = "OnServiceProxyAsyncEvent";

} // namespace

void ServiceProxyMailbox::subscribe() {
    subscribed_ = true;
    for (const char* name : {kByUuidEvent, kByMethodEvent, kAsyncEvent}) {
        host_.subscribeEvent(name, delivery_, KIV_EVENT_KIND_SERVICE_PROXY);
    }
}

void ServiceProxyMailbox::unsubscribe() {
    if (!std::exchange(subscribed_, false)) {
        return;
    }
    for (const char* name : {kAsyncEvent, kByMethodEvent, kByUuidEvent}) {
        host_.unsubscribeEvent(name);
    }
}

void ServiceProxyMailbox::deliver(std::string_view eventName, const FlatValue& payload) {
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
    std::lock_guard lock(mutex_);
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
        std::lock_guard lock(mutex_);
        if (auto it = asyncHandlers_.find(key); it != asyncHandlers_.end()) {
            handler = it->second;
        }
    }
    if (handler) {
        handler(response);
        return;
    }
    const std::string& name = shortName_;
    LogMessage(LogLevel::Error, lowHalf(kLogGroupDbg), highHalf(kLogGroupDbg),
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
        std::lock_guard lock(mutex_);
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
    LogMessage(LogLevel::Always, lowHalf(kLogGroupDbg), highHalf(kLogGroupDbg),
               "%s: Fulfilled service proxy request: %s", name.c_str(), match->key.c_str());
}

void ServiceProxyMailbox::addPendingRequest(std::string key, Callback callback) {
    std::lock_guard lock(mutex_);
    pending_.insert_or_assign(std::move(key), std::move(callback));
}

void ServiceProxyMailbox::addAsyncHandler(std::string key, Callback callback) {
    std::lock_guard lock(mutex_);
    asyncHandlers_.insert_or_assign(std::move(key), std::move(callback));
}

void ServiceProxyMailbox::clear() {
    // The callbacks are destroyed after the mutex is given back: their captures may reach here.
    decltype(pending_) pending;
    decltype(asyncHandlers_) asyncHandlers;
    decltype(received_) received;
    std::lock_guard lock(mutex_);
    pending.swap(pending_);
    asyncHandlers.swap(asyncHandlers_);
    received.swap(received_);
}

std::size_t ServiceProxyMailbox::receivedCount() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

std::size_t ServiceProxyMailbox::pendingCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

bool ServiceProxyMailbox::received(std::string_view key, PluginServiceProxyResponse& copy) const {
    std::lock_guard lock(mutex_);
    auto it = received_.find(key);
    if (it == received_.end()) {
        return false;
    }
    copy = it->second;
    return true;
}

} // namespace kiv
