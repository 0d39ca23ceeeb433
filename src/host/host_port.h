// The plugin's one way out to the host: the host's function table and context, as initialise
// hands them over. Before initialise, and for an entry the host left null, a call does nothing:
// a plugin may run its parts (tests, a failed load) without a host behind them.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstdint>

namespace kiv {

// The callback and user data with which the host delivers a subscription's events.
struct EventDelivery {
    PluginEventCallbackFn callback = nullptr;
    void* userData = nullptr;
};

class HostPort {
  public:
    void connect(HostInterface* host) noexcept { host_ = host; }

    // The context the host passes with every call, so it knows which plugin calls.
    std::uintptr_t context() const noexcept { return host_ ? host_->hostContext : 0; }

    void sendRequest(HostResponse& response, const HostRequest& request) const;
    void sendEvent(const HostEventRecord& event) const;
    void subscribeEvent(const char* eventName, EventDelivery delivery, std::uint32_t eventKind) const;
    void unsubscribeEvent(const char* eventName) const;
    void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                       double delaySeconds) const;
    // Lets the host run other work, between its wait markers under `label`.
    void yieldWhileWaiting(const char* label) const;
    void writeLog(std::uint32_t level, const char* text) const;

  private:
    HostApi* api() const noexcept { return host_ ? host_->api : nullptr; }

    HostInterface* host_ = nullptr;
};

} // namespace kiv
