#include "kivhost/core/host_api_table.h"

#include <exception>
#include <new>
#include <type_traits>

namespace kiv::kivhost {
namespace {

// Runs one entry's call on its handler; nothing thrown crosses back into the plugin.
template <class Call> void enter(HostApi* api, std::string_view entry, Call call) noexcept {
    if (!api) {
        return;
    }
    HostApiHandler& handler = HostApiTable::handlerOf(api);
    try {
        call(handler);
    } catch (const std::bad_alloc&) {
        handler.reportOutOfMemory(entry);
    } catch (const std::exception& error) {
        handler.reportFault(entry, error.what());
    } catch (...) {
        handler.reportFault(entry, "an unknown exception");
    }
}

void KIV_CDECL sendRequestEntry(HostApi* api, HostResponse* response, const HostRequest* request) {
    enter(api, "sendRequest", [&](HostApiHandler& handler) { handler.sendRequest(response, request); });
}

void KIV_CDECL hostOperation1Entry(HostApi* api, std::uint32_t first, std::uint32_t second) {
    enter(api, "hostOperation1", [&](HostApiHandler& handler) { handler.hostOperation1(first, second); });
}

void KIV_CDECL sendEventEntry(HostApi* api, const HostEventRecord* event) {
    enter(api, "sendEvent", [&](HostApiHandler& handler) { handler.sendEvent(event); });
}

void KIV_CDECL subscribeEventEntry(HostApi* api, const char* eventName, std::uintptr_t hostContext,
                                   PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) {
    enter(api, "subscribeEvent", [&](HostApiHandler& handler) {
        handler.subscribeEvent(eventName, hostContext, callback, userData, eventKind);
    });
}

void KIV_CDECL unsubscribeEventEntry(HostApi* api, const char* eventName, std::uintptr_t hostContext) {
    enter(api, "unsubscribeEvent",
          [&](HostApiHandler& handler) { handler.unsubscribeEvent(eventName, hostContext); });
}

void KIV_CDECL scheduleTimerEntry(HostApi* api, const char* jobName, PluginTimerCallbackFn callback,
                                  void* userData, double delaySeconds, std::uint32_t) {
    enter(api, "scheduleTimer",
          [&](HostApiHandler& handler) { handler.scheduleTimer(jobName, callback, userData, delaySeconds); });
}

void KIV_CDECL yieldToHostEntry(HostApi* api) {
    enter(api, "yieldToHost", [](HostApiHandler& handler) { handler.yieldToHost(); });
}

void KIV_CDECL beginWaitEntry(HostApi* api, const char* label, std::uint32_t) {
    enter(api, "beginWait", [&](HostApiHandler& handler) { handler.beginWait(label); });
}

void KIV_CDECL endWaitEntry(HostApi* api) {
    enter(api, "endWait", [](HostApiHandler& handler) { handler.endWait(); });
}

void KIV_CDECL writeLogEntry(HostApi* api, std::uint32_t level, const char* text) {
    enter(api, "writeLog", [&](HostApiHandler& handler) { handler.writeLog(level, text); });
}

} // namespace

HostApiTable::HostApiTable(HostApiHandler& handler) noexcept
    : binding_{{sendRequestEntry, hostOperation1Entry, sendEventEntry, subscribeEventEntry,
                unsubscribeEventEntry, scheduleTimerEntry, yieldToHostEntry, beginWaitEntry, endWaitEntry,
                writeLogEntry},
               &handler} {
    static_assert(std::is_standard_layout_v<Binding>, "a table pointer leads back to its binding");
}

HostApiHandler& HostApiTable::handlerOf(HostApi* api) noexcept {
    return *reinterpret_cast<Binding*>(api)->handler;
}

} // namespace kiv::kivhost
