#include "kivhost/core/json_text.h"
#include "kivhost/timeline/timeline.h"

namespace kiv::kivhost {
namespace {

template <class... Writers> struct DetailWriters : Writers... {
    using Writers::operator()...;
};
template <class... Writers> DetailWriters(Writers...) -> DetailWriters<Writers...>;

void writeText(JsonWriter& writer, const char* key, std::string_view text) {
    writeJsonKey(writer, key);
    writeJsonText(writer, text);
}

void writeError(JsonWriter& writer, const std::optional<std::string>& error) {
    if (error) {
        writeText(writer, "error", *error);
    }
}

void writeMemory(JsonWriter& writer, const MemoryStatistics& memory) {
    writer.Key("memory");
    writer.StartObject();
    const std::pair<const char*, std::uint64_t> counters[] = {
        {"peakLiveBytes", memory.peakLiveBytes},   {"liveAllocationsAtPeak", memory.liveAllocationsAtPeak},
        {"bytesAllocated", memory.bytesAllocated}, {"allocationCount", memory.allocationCount},
        {"bytesFreed", memory.bytesFreed},         {"freeCount", memory.freeCount},
    };
    for (const auto& [name, count] : counters) {
        writer.Key(name);
        writer.Uint64(count);
    }
    writer.EndObject();
}

} // namespace

void writeSeconds(JsonWriter& writer, std::int64_t ms) {
    if (ms % 1000 == 0) {
        writer.Int64(ms / 1000);
    } else {
        writer.Double(static_cast<double>(ms) / 1000.0);
    }
}

std::string timelineJson(const Happening& happening) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("t");
    writeSeconds(writer, happening.timeMs);
    writeText(writer, "type", happeningType(happening.detail));
    std::visit(DetailWriters{
                   [&](const PluginLoaded& loaded) {
                       writer.Key("format");
                       writer.Uint(kTimelineJsonFormat);
                       writeText(writer, "plugin", happening.plugin);
                       writeText(writer, "version", loaded.version);
                       writeText(writer, "core", loaded.core);
                   },
                   [&](const PluginUnloaded& unloaded) {
                       writeText(writer, "plugin", happening.plugin);
                       writer.Key("pendingTimers");
                       writer.Uint64(unloaded.pendingTimers);
                       writeMemory(writer, unloaded.memory);
                   },
                   [&](const LogWritten& log) {
                       writer.Key("level");
                       writer.Uint(log.level);
                       writeText(writer, "text", log.text);
                   },
                   [&](const TimerScheduled& timer) {
                       writeText(writer, "name", timer.name);
                       writer.Key("delay");
                       writeSeconds(writer, timer.delayMs);
                   },
                   [&](const TimerFired& fired) { writeText(writer, "name", fired.name); },
                   [&](const EventSent& event) {
                       writeText(writer, "name", event.name);
                       writer.Key("payload");
                       writeJsonValue(writer, event.payload);
                   },
                   [&](const RequestSent& request) {
                       writeText(writer, "method", request.method);
                       writeText(writer, "path", request.path);
                       writer.Key("status");
                       writer.Uint(request.status);
                       writeError(writer, request.error);
                   },
                   [&](const ResponseReceived& response) {
                       writeText(writer, "path", response.path);
                       writer.Key("status");
                       writer.Uint(response.status);
                       if (response.error) {
                           writeError(writer, response.error);
                       } else {
                           writer.Key("value");
                           writeJsonValue(writer, response.value);
                       }
                   },
                   [&](const Subscribed& subscribed) { writeText(writer, "name", subscribed.name); },
                   [&](const Unsubscribed& unsubscribed) { writeText(writer, "name", unsubscribed.name); },
                   [&](const ResourceChanged& changed) {
                       writeText(writer, "path", changed.path);
                       writeText(writer, "name", changed.eventName);
                       if (changed.change != ResourceChangeKind::Delete) {
                           writer.Key("value");
                           writeJsonValue(writer, changed.value);
                       }
                   },
                   [&](const HostFault& fault) {
                       writeText(writer, "plugin", happening.plugin);
                       writeText(writer, "text", fault.text);
                   },
               },
               happening.detail);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kiv::kivhost
