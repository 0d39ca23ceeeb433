// What the host knows of one loaded plugin: its library, its load record and the API it exports.
#pragma once

#include "kivhost/core/api_description.h"
#include "kivhost/core/kivhost_types.h"

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace kiv::kivhost {

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

} // namespace kiv::kivhost
