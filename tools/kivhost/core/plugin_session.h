// One plugin loaded into the host: its library, what its export wrote back, the HostInterface
// it was given, and the ten host entries it calls, answered from the services the core process
// lends it.
#pragma once

#include "kivhost/core/host_api_table.h"
#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/path_template.h"
#include "kivhost/core/plugin_info.h"
#include "kivhost/core/plugin_services.h"
#include "kivhost/platform/dynamic_library.h"

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

class PluginSession final : public HostApiHandler {
  public:
    // Loads the library and calls its export; see PluginHost::load.
    PluginSession(const PluginServices& services, PluginId id, const std::filesystem::path& library,
                  const std::string& entryName);
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    const PluginInfo& info() const noexcept { return info_; }
    bool isServing() const noexcept { return !info_.unloaded; }
    // The compiled path template of each of the plugin's functions, in function order.
    const std::vector<PathTemplate>& routes() const noexcept { return routes_; }

    bool initialize();
    void unload();
    MemoryStatistics memoryStatistics();

    void sendRequest(HostResponse* response, const HostRequest* request) override;
    void hostOperation1(std::uint32_t first, std::uint32_t second) override;
    void sendEvent(const HostEventRecord* event) override;
    void subscribeEvent(const char* eventName, std::uintptr_t hostContext, PluginEventCallbackFn callback,
                        void* userData, std::uint32_t eventKind) override;
    void unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) override;
    void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                       double delaySeconds) override;
    void yieldToHost() override;
    void beginWait(const char* label) override;
    void endWait() override;
    void writeLog(std::uint32_t level, const char* text) override;
    void reportFault(std::string_view entry, std::string_view what) noexcept override;
    void reportOutOfMemory(std::string_view entry) noexcept override;

  private:
    void callExport(const std::string& entryName);
    // Whether a call through the plugin's table may be served now; faults it when not.
    bool admits(std::string_view entry);
    void checkHostContext(std::string_view entry, std::uintptr_t hostContext);
    void fault(std::string text);

    PluginServices services_;
    PluginId id_;
    PluginInfo info_;
    DynamicLibrary library_;
    PluginCallbacks callbacks_{};
    std::vector<PathTemplate> routes_;
    HostApiTable table_{*this};
    HostInterface hostInterface_{};
    bool unloading_ = false;
};

} // namespace kiv::kivhost
