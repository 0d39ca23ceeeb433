// Loading a plugin into the host: the API-version check, the plugin's answers in the load record,
// and the three callbacks through which the host initialises, unloads and measures it.
#pragma once

#include "kiv/plugin_abi.h"

#include <memory>
#include <new>

namespace kiv {

class HostedPlugin;

// Loads a freshly constructed plugin, as the library's export does. A core whose plugin API is
// not compatible ends the process after the "ALE-EECF0606" assertion report: running on would
// hand it records of a layout it does not read. The host learns of any other failed load only
// from the record's null callbacks, handle, name and export (writeFailedLoad). After a load the
// host owns the plugin and destroys it through unload.
void loadPlugin(std::unique_ptr<HostedPlugin> plugin, PluginLoadInfo* info, const char* shortName) noexcept;

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
