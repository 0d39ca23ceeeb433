// `kivhost serve`: the plugin on a local HTTP port with its events as a stream, controls for the
// resources and the clock, and a dashboard. Builds configured without it answer with a message.
#pragma once

#include "kivhost/core/host_options.h"
#include "kivhost/serve/access_rules.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace kiv::kivhost {

struct ServeArguments {
    std::optional<std::filesystem::path> scenario; // the built-in default without one
    std::optional<std::filesystem::path> plugin;   // the shutdown-law library next to kivhost without one
    int port = 0;                                  // 0: a free port
    ClockKind clock = ClockKind::Virtual;
    double speed = 1.0; // on the real clock: simulated seconds per real second
    AccessOptions access;
    bool logRequests = false; // a line per request on the standard output
};

// Prints the address on the first line and serves until SIGINT or SIGTERM; returns the process's
// exit code: 0 after serving, 1 when it could not start.
int serveUntilStopped(const ServeArguments& arguments, std::ostream& out, std::ostream& errors);

} // namespace kiv::kivhost
