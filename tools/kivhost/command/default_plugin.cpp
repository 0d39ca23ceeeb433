#include "kivhost/command/default_plugin.h"

#include "kivhost/platform/dynamic_library.h"
#include "platform/module_path.h"

namespace kiv::kivhost {

std::filesystem::path defaultPluginLibrary() {
    char path[4096];
    const std::filesystem::path libraryName = libraryFileName("kiv_kr_shutdown_law");
    if (platform::executablePath(path, sizeof path) == 0) {
        return libraryName;
    }
    return std::filesystem::path(path).parent_path() / libraryName;
}

} // namespace kiv::kivhost
