// The four types through which the client reads the shutdown law: the law status, its
// notification, one queue's state and the state of all queues. They travel as the data of the
// service's resources and events.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kiv {
class BindingRegistry;
}

namespace Brix::Client::ShutdownLaw::Api {

enum class ShutdownLawStatus : std::int32_t {
    NONE = 0,
    WARNING = 1,
    CUT_OFF = 2,
};

struct ShutdownLawNotification {
    ShutdownLawStatus type = ShutdownLawStatus::NONE;
};

struct QueueShutdownStatus {
    bool isDisabled = false;
};

struct AllQueueShutdownStatus {
    bool isAllQueuesDisabled = false;
};

// Registers the four types, in the order above, each named with the plugin's CamelCase
// `typePrefix` in front and carrying the plugin's `tags`.
void registerShutdownLawTypes(kiv::BindingRegistry& registry, std::string_view typePrefix,
                              std::span<const std::string> tags);

} // namespace Brix::Client::ShutdownLaw::Api
