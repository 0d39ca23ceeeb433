// `kivhost serve` in the builds that have it (KIV_BUILD_SERVE).
#include "kivhost/command/serve_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/serve/serve_server.h"

#include <csignal>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace kiv::kivhost {
namespace {

// SIGINT and SIGTERM are taken by one thread that stops the server; every other thread has them
// blocked, so they are never delivered in the middle of a plugin call. SIGPIPE is ignored: a
// client that went away is noticed when a write to it fails.
sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

int serveUntilStopped(const ServeArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<PlayInputs> inputs = loadPlayInputs(arguments.scenario, arguments.plugin, errors);
    if (!inputs) {
        return 1;
    }

    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // before any thread starts, so all inherit it
    std::signal(SIGPIPE, SIG_IGN);

    ServeWorld world(inputs->scenario, ServeSetup{inputs->plugin, arguments.clock, arguments.speed});
    if (!world.initialized()) {
        reportError(errors, "the plugin's initialize reported a failure; nothing is served");
        return 1;
    }
    ServeServer server(world, arguments.access, arguments.logRequests ? &out : nullptr);
    std::string refusal;
    const int port = server.bind(arguments.port, refusal);
    if (port < 0) {
        reportError(errors, "cannot listen on 127.0.0.1:" + std::to_string(arguments.port) + ": " + refusal);
        return 1;
    }
    out << "http://127.0.0.1:" << port << "/" << std::endl;

    std::thread stopper([&] {
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    });
    server.listen();
    stopper.join();
    return 0;
}

} // namespace kiv::kivhost
