// Loading a plugin into the host: the API-version check, the plugin's answers in the load record,
// and the three callbacks through which the host initialises, unloads and measures it.
#pragma once

#include "kiv/plugin_abi.h"

#include <memory>
#include <new>

namespace kiv {

class HostedPlugin;

// Loads a freshly constructed plugin, as the library's export does:
//  - a core whose plugin API is not compatible ends the process after the "ALE-EECF0606"
//    assertion report;
//  - otherwise the plugin registers its API and the record receives the plugin's version
//    (18, 0, 0), its callbacks, its handle, its short name and its API export; the host owns the
//    plugin from then on and destroys it through unload;
//  - a load that fails after the version check destroys the plugin and writes null callbacks,
//    handle, name and export, so that the host sees the failure.
// The "LOC" log group and the event-tracing providers are registered on the way.
void loadPlugin(std::unique_ptr<HostedPlugin> plugin, PluginLoadInfo* info, const char* shortName) noexcept;

// Marks the load record as failed: the plugin's version, null callbacks, handle, name and export.
void writeFailedLoad(PluginLoadInfo& info) noexcept;

// Constructs a Plugin and loads it; a plugin that cannot be constructed is a failed load.
template <class Plugin> void loadNewPlugin(PluginLoadInfo* info, const char* shortName) noexcept {
    if (!info) {
        return;
    }
    std::unique_ptr<HostedPlugin> plugin;
    try {
        plugin = std::make_unique<Plugin>();
    } catch (...) {
        writeFailedLoad(*info);
        return;
    }
    loadPlugin(std::move(plugin), info, shortName);
}

} // namespace kiv
