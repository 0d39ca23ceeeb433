// What the development host saw: every call a plugin made into it, every timer it ran, every
// step it was driven through. Timelines are written from these records.
#pragma once

#include "kivhost/core/kivhost_types.h"

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kiv::kivhost {

struct PluginLoaded {
    std::string version; // the plugin's API version as it wrote it back
    std::string core;    // the core version the host offered
};

struct PluginUnloaded {
    std::size_t pendingTimers = 0; // dropped without running
    MemoryStatistics memory{};     // read once unload has returned
};

struct LogWritten {
    std::uint32_t level = 0;
    std::string text;
};

struct TimerScheduled {
    std::string name;
    std::int64_t delayMs = 0; // as the host rounded it
};

struct TimerFired {
    std::string name;
};

struct EventSent {
    std::string name;
    Value payload;
};

// A request a plugin sent, with the answer's status and error text.
struct RequestSent {
    std::string method;
    std::string path;
    std::uint32_t status = 0;
    std::optional<std::string> error;
};

// The answer to a request the host was asked to make (a scenario's `get`).
struct ResponseReceived {
    std::string method;
    std::string path;
    std::uint32_t status = 0; // as the host answers it: 200 (500 with an error) when the plugin set none
    Value value;
    std::optional<std::string> error;
};

struct Subscribed {
    std::string name;
};

struct Unsubscribed {
    std::string name;
};

// A stored resource replaced or removed, and the event sent for it.
struct ResourceChanged {
    ResourceChangeKind change = ResourceChangeKind::Update;
    std::string path;
    std::string eventName;
    Value value;
};

// Something a plugin handed over that the host could not take as it was.
struct HostFault {
    std::string text;
};

using HappeningDetail =
    std::variant<PluginLoaded, PluginUnloaded, LogWritten, TimerScheduled, TimerFired, EventSent, RequestSent,
                 ResponseReceived, Subscribed, Unsubscribed, ResourceChanged, HostFault>;

struct Happening {
    std::int64_t timeMs = 0; // on the host's clock, since the host started
    std::string plugin;      // the short name of the plugin concerned; empty for the host's own steps
    HappeningDetail detail;
};

// The `type` word of a happening in timelines: "load", "log", "timer", "fire", "event", ...
const char* happeningType(const HappeningDetail& detail) noexcept;

// Every type word happeningType gives.
std::span<const std::string_view> happeningTypes() noexcept;

// The names of the log levels from 0 on ("OKAY", "WARN", "ERROR", "ALWAYS"); higher levels have
// none.
std::span<const std::string_view> logLevelNames() noexcept;

// A log level as timelines write it: its name, or "LEVEL n".
std::string logLevelText(std::uint32_t level);

} // namespace kiv::kivhost
