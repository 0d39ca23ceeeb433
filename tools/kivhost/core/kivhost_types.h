// The plain types that the parts of kivhost's core share with one another and with the host's
// users: plugin numbers, what the host knows of a loaded plugin, answers to requests, timers,
// counters and the kinds of change of a stored resource. Only records, enums and their names live
// here, so that every part can include it without reaching up to the host that assembles them.
#pragma once

#include "kivhost/core/api_description.h"
#include "kivhost/core/host_options.h"

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kiv::kivhost {

// A loaded plugin's number: its place in the order of loading, kept after it is unloaded.
using PluginId = std::size_t;

// One loaded plugin as the host sees it.
struct PluginInfo {
    std::filesystem::path library;
    std::string entryName;
    PluginLoadInfo loadRecord{}; // as the export left it
    CoreVersion apiVersion;      // the plugin's, from the record's first three words
    std::string shortName;
    ApiDescription api;
    std::uintptr_t hostContext = 0; // handed to the plugin in its HostInterface
    bool initialized = false;
    bool unloaded = false;
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
