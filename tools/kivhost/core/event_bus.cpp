#include "kivhost/core/event_bus.h"

#include <algorithm>

namespace kiv::kivhost {

void EventBus::subscribe(PluginId plugin, std::string name, PluginEventCallbackFn callback, void* userData,
                         std::uint32_t kind) {
    for (Subscription& subscription : subscriptions_) {
        if (subscription.plugin == plugin && subscription.name == name) {
            subscription.callback = callback;
            subscription.userData = userData;
            subscription.kind = kind;
            return;
        }
    }
    subscriptions_.push_back({nextId_++, plugin, std::move(name), callback, userData, kind});
}

bool EventBus::unsubscribe(PluginId plugin, std::string_view name) {
    return std::erase_if(subscriptions_, [&](const Subscription& subscription) {
               return subscription.plugin == plugin && subscription.name == name;
           }) > 0;
}

void EventBus::dropPlugin(PluginId plugin) {
    std::erase_if(subscriptions_,
                  [&](const Subscription& subscription) { return subscription.plugin == plugin; });
}

std::vector<Subscription> EventBus::subscribersOf(std::string_view name) const {
    std::vector<Subscription> subscribers;
    for (const Subscription& subscription : subscriptions_) {
        if (subscription.name == name) {
            subscribers.push_back(subscription);
        }
    }
    return subscribers;
}

std::optional<Subscription> EventBus::current(std::uint64_t id) const {
    for (const Subscription& subscription : subscriptions_) {
        if (subscription.id == id) {
            return subscription;
        }
    }
    return std::nullopt;
}

void EventBus::post(std::string name, Value payload) {
    posted_.push_back({std::move(name), std::move(payload)});
}

std::optional<PostedEvent> EventBus::takeNext() {
    if (posted_.empty()) {
        return std::nullopt;
    }
    PostedEvent event = std::move(posted_.front());
    posted_.pop_front();
    return event;
}

} // namespace kiv::kivhost
