// The library's one export: the host calls it to create and load the shutdown-law plugin.
#include "host/plugin_loader.h"
#include "platform/module_export.h"
#include "service/shutdown_law_names.h"
#include "service/shutdown_law_service.h"

extern "C" KIV_MODULE_EXPORT void KIV_CDECL load_kiv_kr_shutdown_law(PluginLoadInfo* info) {
    kiv::loadNewPlugin<kiv::ShutdownLawService>(info, kiv::kShutdownLawShortName);
}
