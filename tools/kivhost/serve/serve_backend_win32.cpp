#include "kivhost/serve/serve_backend.h"

namespace kiv::kivhost {

// Windows forks no process: the plugin runs in the server's, as for `kivhost run`.
std::unique_ptr<ServeBackend> startServeBackend(const Scenario& scenario, const ServeSetup& setup) {
    return std::make_unique<InProcessBackend>(scenario, setup);
}

std::optional<int> serveAsPluginProcess(const Scenario&, const ServeSetup&) {
    return std::nullopt;
}

} // namespace kiv::kivhost
