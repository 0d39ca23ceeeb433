#include "host/plugin_loader.h"

#include "format/message_format.h"
#include "host/counting_allocator.h"
#include "host/hosted_plugin.h"
#include "logging/assertion_report.h"
#include "logging/etw_providers.h"
#include "logging/log_groups.h"

#include <cstdlib>

namespace kiv {

namespace {

constexpr const char* kIncompatibleApiCode = "ALE-EECF0606";

void writePluginVersion(PluginLoadInfo& info) noexcept {
    const ApiVersion& version = pluginApiVersion();
    info.apiMajor = version.major;
    info.apiMinor = version.minor;
    info.apiPatch = version.patch;
}

[[noreturn]] void refuseCore(const ApiVersion& core, const char* shortName) noexcept {
    std::string message;
    try {
        message = formatMessage("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                                {shortName, pluginApiVersion().text(), core.text()});
    } catch (...) {
        // The report goes out with its code alone.
    }
    AssertionSite site;
    site.expression = kIncompatibleApiCode;
    site.description = message.c_str();
    reportAssertion(site);
    std::abort();
}

HostedPlugin* enterHostedPlugin(const PluginEntry& entry) noexcept {
    return dynamic_cast<HostedPlugin*>(entry.plugin());
}

std::uint8_t KIV_CDECL initializeCallback(void* handle, HostInterface* host) {
    if (!host) {
        return 0;
    }
    try {
        PluginEntry entry(findPluginGate(handle));
        HostedPlugin* plugin = enterHostedPlugin(entry);
        return plugin && plugin->initialize(host) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void KIV_CDECL unloadCallback(void* handle) {
    {
        PluginEntry entry(findPluginGate(handle));
        HostedPlugin* plugin = enterHostedPlugin(entry);
        if (!plugin) {
            return;
        }
        try {
            plugin->disconnect();
        } catch (...) {
            // Unloading goes on: the plugin is destroyed whatever shutdown met.
        }
        plugin->retire();
        delete plugin;
    }
    if (livePluginCount() == 0) {
        unregisterEtwProviders();
    }
}

void KIV_CDECL getMemoryStatisticsCallback(void*, MemoryStatistics* statistics) {
    if (statistics) {
        *statistics = readMemoryStatistics();
    }
}

// Every plugin hands the host this one table; the record's pointer to it is not const.
PluginCallbacks callbacks = {initializeCallback, unloadCallback, getMemoryStatisticsCallback};

} // namespace

void writeFailedLoad(PluginLoadInfo& info) noexcept {
    writePluginVersion(info);
    info.callbacks = nullptr;
    info.plugin = nullptr;
    info.shortName = nullptr;
    info.apiExport = nullptr;
}

void loadPlugin(std::unique_ptr<HostedPlugin> plugin, PluginLoadInfo* info, const char* shortName) noexcept {
    if (!info) {
        return;
    }
    if (!shortName) {
        shortName = "";
    }
    registerLibraryLogGroup();
    registerEtwProviders();
    const ApiVersion core{info->apiMajor, info->apiMinor, info->apiPatch, {}, {}};
    if (!isCompatible(pluginApiVersion(), core)) {
        refuseCore(core, shortName);
    }
    if (!plugin) {
        writeFailedLoad(*info);
        return;
    }
    try {
        plugin->load(core, shortName);
    } catch (...) {
        plugin.reset();
        writeFailedLoad(*info);
        return;
    }
    writePluginVersion(*info);
    info->callbacks = &callbacks;
    info->plugin = plugin->handle();
    info->shortName = plugin->identity().shortName.c_str();
    info->apiExport = const_cast<ApiExport*>(plugin->apiExport());
    // From here the host owns the plugin; unload destroys it.
    plugin.release();
}

} // namespace kiv
