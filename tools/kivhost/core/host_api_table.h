// The host's function table as a plugin receives it, and the C++ interface its ten entries lead
// to. Each table knows its handler, so a host can tell its plugins apart by the table they call
// through. No exception leaves an entry: what a handler throws becomes a fault of the plugin's
// call.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <string_view>

namespace kiv::kivhost {

class HostApiHandler {
  public:
    virtual void sendRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void hostOperation1(std::uint32_t first, std::uint32_t second) = 0;
    virtual void sendEvent(const HostEventRecord* event) = 0;
    virtual void subscribeEvent(const char* eventName, std::uintptr_t hostContext,
                                PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) = 0;
    virtual void unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) = 0;
    virtual void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                               double delaySeconds) = 0;
    virtual void yieldToHost() = 0;
    virtual void beginWait(const char* label) = 0;
    virtual void endWait() = 0;
    virtual void writeLog(std::uint32_t level, const char* text) = 0;
    // A call that failed inside the host: `entry` names the table entry.
    virtual void reportFault(std::string_view entry, std::string_view what) noexcept = 0;
    // A call that ran out of memory inside the host; by default a fault like any other.
    virtual void reportOutOfMemory(std::string_view entry) noexcept { reportFault(entry, "out of memory"); }

  protected:
    ~HostApiHandler() = default;
};

class HostApiTable {
  public:
    explicit HostApiTable(HostApiHandler& handler) noexcept;
    HostApiTable(const HostApiTable&) = delete;
    HostApiTable& operator=(const HostApiTable&) = delete;

    HostApi* api() noexcept { return &binding_.api; }

    // The handler behind a table that this class made.
    static HostApiHandler& handlerOf(HostApi* api) noexcept;

  private:
    // The table comes first, so the pointer a plugin calls with leads back to the handler.
    struct Binding {
        HostApi api;
        HostApiHandler* handler;
    };
    Binding binding_;
};

} // namespace kiv::kivhost
