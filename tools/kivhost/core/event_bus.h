// The platform's event bus: subscriptions by event name, each with the callback and user data
// its plugin gave, and the events waiting to be delivered. Events are delivered after the entry
// that sent them has returned, in the order they were sent.
#pragma once

#include "kivhost/core/kivhost_types.h"

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

struct Subscription {
    std::uint64_t id = 0;
    PluginId plugin = 0;
    std::string name;
    PluginEventCallbackFn callback = nullptr;
    void* userData = nullptr;
    std::uint32_t kind = KIV_EVENT_KIND_RESOURCE;
};

struct PostedEvent {
    std::string name;
    Value payload;
};

class EventBus {
  public:
    // A plugin holds one subscription per event name: subscribing again replaces its callback,
    // user data and kind and keeps its place in the delivery order.
    void subscribe(PluginId plugin, std::string name, PluginEventCallbackFn callback, void* userData,
                   std::uint32_t kind);
    // Whether the plugin had a subscription of that name.
    bool unsubscribe(PluginId plugin, std::string_view name);
    void dropPlugin(PluginId plugin);

    // The subscribers of a name, in the order they subscribed.
    std::vector<Subscription> subscribersOf(std::string_view name) const;
    // The subscription as it is now: a delivery may unsubscribe or re-subscribe later subscribers.
    std::optional<Subscription> current(std::uint64_t id) const;

    void post(std::string name, Value payload);
    std::optional<PostedEvent> takeNext();

  private:
    std::vector<Subscription> subscriptions_;
    std::uint64_t nextId_ = 1;
    std::deque<PostedEvent> posted_;
};

} // namespace kiv::kivhost
