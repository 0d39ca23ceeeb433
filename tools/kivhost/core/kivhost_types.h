// The plain types that the parts of kivhost's core share with one another and with the host's
// users: plugin numbers, core versions, answers to requests, timers, counters and the kinds of
// change of a stored resource. Only records, enums and their names live here, and this header
// includes none of kivhost's others, so that every part can include it without reaching up to the
// host that assembles them.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {

// A loaded plugin's number: its place in the order of loading, kept after it is unloaded.
using PluginId = std::size_t;

// The plugin API version of a core or a plugin.
struct CoreVersion {
    std::uint32_t major = 18;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;

    // "X.Y.Z": three decimal numbers within 32 bits, nothing before, between or after them.
    static std::optional<CoreVersion> parse(std::string_view text);
    std::string text() const;

    // A plugin built for `plugin` runs on this core when the majors are equal and the plugin
    // asks for no later minor and patch than the core offers.
    bool accepts(const CoreVersion& plugin) const noexcept;

    friend auto operator<=>(const CoreVersion&, const CoreVersion&) = default;
};

// The answer to a request, read from the response record (whole or streamed) and released.
struct Response {
    std::uint32_t status = 0;
    Value value;
    std::optional<std::string> error; // set when the response carried an error text
};

// The HTTP status an answer stands for: its own when it is one, else 200 for a value and 500 for
// an error, as the platform answers a plugin that set none.
inline std::uint32_t answeredStatus(const Response& response) noexcept {
    if (response.status >= 100 && response.status <= 599) {
        return response.status;
    }
    return response.error ? 500 : 200;
}

// Calls and records counted across the host's life.
struct HostCounters {
    std::uint64_t yields = 0;
    std::uint64_t waitsBegun = 0;
    std::uint64_t waitsEnded = 0;
    std::string lastWaitLabel;
    std::uint64_t hostOperation1Calls = 0;
    std::uint64_t faults = 0;
    // Responses and body streams that this host handed to plugins and that have not been
    // released yet.
    std::uint64_t openResponses = 0;
    std::uint64_t openBodyStreams = 0;
    // Releases, in this process, of records that no host had open: a second release of the
    // same record, or a record the host never filled.
    std::uint64_t strayReleases = 0;
    // A call of the host table ran out of memory since the host last looked.
    bool outOfMemory = false;
};

// A timer as a plugin scheduled it; PluginHost::replayTimer can run its callback again.
struct TimerRecord {
    PluginId plugin = 0;
    std::string name;
    std::int64_t dueMs = 0;
    bool fired = false;
};

// A timer not run yet: its number in the order of scheduling, its name and its due time.
struct PendingTimer {
    std::size_t scheduled = 0;
    std::string name;
    std::int64_t dueMs = 0;
};

// The kinds of change of a resource, numbered as the resource event's `eventType`.
enum class ResourceChangeKind : std::uint32_t { Create = 0, Update = 1, Delete = 2 };

// The resource event's `eventType` text: "Create", "Update" or "Delete".
constexpr const char* resourceChangeName(ResourceChangeKind kind) noexcept {
    switch (kind) {
    case ResourceChangeKind::Create:
        return "Create";
    case ResourceChangeKind::Update:
        return "Update";
    case ResourceChangeKind::Delete:
        return "Delete";
    }
    return "";
}

} // namespace kiv::kivhost
