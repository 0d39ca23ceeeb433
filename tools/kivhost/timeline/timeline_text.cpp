#include "kivhost/core/json_text.h"
#include "kivhost/timeline/timeline.h"

#include <cstdio>

namespace kiv::kivhost {
namespace {

template <class... Describers> struct DetailTexts : Describers... {
    using Describers::operator()...;
};
template <class... Describers> DetailTexts(Describers...) -> DetailTexts<Describers...>;

std::string answer(std::uint32_t status, const std::optional<std::string>& error) {
    return "-> " + std::to_string(status) + (error ? ": " + *error : "");
}

std::string detailText(const Happening& happening) {
    const std::string& plugin = happening.plugin;
    return std::visit(
        DetailTexts{
            [&](const PluginLoaded& loaded) {
                return plugin + " loaded: plugin API " + loaded.version + " on core " + loaded.core;
            },
            [&](const PluginUnloaded& unloaded) {
                return plugin + " unloaded: " + std::to_string(unloaded.pendingTimers) + " timers dropped, " +
                       std::to_string(unloaded.memory.bytesAllocated) + " bytes allocated and " +
                       std::to_string(unloaded.memory.bytesFreed) + " freed";
            },
            [](const LogWritten& log) { return logLevelText(log.level) + " " + log.text; },
            [](const TimerScheduled& timer) { return timer.name + " in " + clockText(timer.delayMs); },
            [](const TimerFired& fired) { return fired.name; },
            [](const EventSent& event) { return event.name + " " + toJson(event.payload); },
            [](const RequestSent& request) {
                return request.method + " " + request.path + " " + answer(request.status, request.error);
            },
            [](const ResponseReceived& response) {
                return response.method + " " + response.path + " " + answer(response.status, response.error) +
                       (response.error ? "" : " " + toJson(response.value));
            },
            [](const Subscribed& subscribed) { return subscribed.name; },
            [](const Unsubscribed& unsubscribed) { return unsubscribed.name; },
            [](const ResourceChanged& changed) {
                return changed.path +
                       (changed.change == ResourceChangeKind::Delete ? "" : " " + toJson(changed.value));
            },
            [&](const HostFault& fault) { return plugin + ": " + fault.text; },
        },
        happening.detail);
}

} // namespace

std::string clockText(std::int64_t ms) {
    char text[48];
    const std::int64_t seconds = ms / 1000;
    const int written =
        std::snprintf(text, sizeof text, "%02lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    std::string result(text, static_cast<std::size_t>(written));
    if (ms % 1000 != 0) {
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(ms % 1000));
        result += text;
    }
    return result;
}

std::string timelineText(const Happening& happening) {
    std::string line = clockText(happening.timeMs);
    line += "  ";
    std::string type = happeningType(happening.detail);
    type.resize(13, ' ');
    line += type;
    // A line break inside a log text must not start a line of the timeline.
    for (const char c : detailText(happening)) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            line += c;
        }
    }
    // Names and texts come from plugins and scenarios: a terminal gets valid UTF-8 only.
    return repairUtf8(line);
}

} // namespace kiv::kivhost
