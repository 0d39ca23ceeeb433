// `kivhost serve` in the builds that have it (KIV_BUILD_SERVE).
#include "kivhost/command/serve_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/command/stop_request.h"
#include "kivhost/serve/serve_server.h"

#include <string>
#include <thread>

namespace kiv::kivhost {

int serveUntilStopped(const ServeArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<PlayInputs> inputs = loadPlayInputs(arguments.scenario, arguments.plugin, errors);
    if (!inputs) {
        return 1;
    }

    const ServeSetup setup{inputs->plugin, arguments.clock, arguments.speed, {}};
    if (const std::optional<int> served = serveAsPluginProcess(inputs->scenario, setup)) {
        return *served; // this process runs the plugin for the server that started it
    }

    StopRequest stopRequest; // before any thread starts

    const std::unique_ptr<ServeBackend> backend = startServeBackend(inputs->scenario, setup);
    if (!backend->initialized()) {
        reportError(errors, "the plugin's initialize reported a failure; nothing is served");
        return 1;
    }
    ServeServer server(*backend, arguments.access, arguments.logRequests ? &out : nullptr);
    std::string refusal;
    const int port = server.bind(arguments.port, refusal);
    if (port < 0) {
        reportError(errors, "cannot listen on 127.0.0.1:" + std::to_string(arguments.port) + ": " + refusal);
        return 1;
    }
    out << "http://127.0.0.1:" << port << "/" << std::endl;

    std::thread stopper([&] {
        stopRequest.wait();
        server.stop();
    });
    server.listen();
    stopper.join();
    return 0;
}

} // namespace kiv::kivhost
