// The shutdown-law library as a host drives it: loaded through its one export with the load record
// the input chooses, its function records copied out as a host keeps them, initialised with the
// fuzzing host and unloaded.
#pragma once

#include "fuzzing_host.h"
#include "host_script.h"
#include "kiv/plugin_abi.h"

#include <string>
#include <vector>

namespace kiv::fuzzing {

// A function record's dispatch entry and context, kept past the plugin's unload.
struct KeptFunction {
    HttpDispatchFn dispatch = nullptr;
    void* context = nullptr;
    std::string pathTemplate;
};

class PluginUnderTest {
  public:
    explicit PluginUnderTest(const LoadPlan& load);
    ~PluginUnderTest() { unload(); }
    PluginUnderTest(const PluginUnderTest&) = delete;
    PluginUnderTest& operator=(const PluginUnderTest&) = delete;

    bool initialize(FuzzingHost& host);
    void unload();

    void* handle() const noexcept { return plugin_; }
    const PluginCallbacks& callbacks() const noexcept { return callbacks_; }
    const std::vector<KeptFunction>& functions() const noexcept { return functions_; }

  private:
    PluginCallbacks callbacks_{};
    void* plugin_ = nullptr;
    bool loaded_ = false;
    std::vector<KeptFunction> functions_;
};

// Serves one request the input describes on a kept function, and reads and releases the answer.
void dispatchRequest(const std::vector<KeptFunction>& functions, const RequestPlan& request);
// The same, with the answer handed back unread and unreleased, as a host that holds it.
[[nodiscard]] HostResponse dispatchHeld(const std::vector<KeptFunction>& functions,
                                        const RequestPlan& request);

// Delivers one event the input describes, if the host holds any subscription to deliver it on.
void deliverEvent(FuzzingHost& host, const EventPlan& event);

// Runs a timer's callback as the host does once it is due.
inline void fire(const Timer& timer) {
    timer.callback(timer.userData);
}

// The library's memory statistics (zero before the first load).
MemoryStatistics memoryStatistics();
// Once every plugin of the process is unloaded: every block the library allocated is freed.
void requireBalancedMemory();

} // namespace kiv::fuzzing
