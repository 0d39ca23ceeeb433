// Where `kivhost serve` runs the plugin: the server hands each request to its backend and streams
// the backend's feed. On POSIX systems the plugin runs in a child process of its own, so that a
// plugin that crashes ends that process only: its routes then answer 502 with its report, and a
// reset starts a new child. On Windows, where processes are not forked, it runs in the server's
// own process, as for `kivhost run`.
#pragma once

#include "kivhost/scenario/scenario.h"
#include "kivhost/serve/event_feed.h"
#include "kivhost/serve/serve_routes.h"
#include "kivhost/serve/serve_world.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace kiv::kivhost {

class ServeBackend {
  public:
    virtual ~ServeBackend() = default;
    // Whether the plugin's initialize succeeded when the backend started.
    virtual bool initialized() const = 0;
    // The answer to a request, as serve_routes.h makes it; never throws.
    virtual ServeAnswer answer(const ServeRequest& request) = 0;
    // The world's clock as of the last answer.
    virtual std::int64_t nowMs() const = 0;
    // What happened, for the event streams and the state's timeline.
    virtual EventFeed& feed() = 0;
};

// Loads and initialises the plugin on the scenario; throws HostError when it cannot be loaded.
std::unique_ptr<ServeBackend> startServeBackend(const Scenario& scenario, const ServeSetup& setup);

// When this process is a server's plugin process (the server started it so), runs the world on
// the scenario for that server until it closes its end, and returns the exit code; nullopt in a
// process started otherwise.
std::optional<int> serveAsPluginProcess(const Scenario& scenario, const ServeSetup& setup);

// The world in the server's own process.
class InProcessBackend : public ServeBackend {
  public:
    InProcessBackend(const Scenario& scenario, const ServeSetup& setup) : world_(scenario, setup) {}

    bool initialized() const override { return world_.initialized(); }
    ServeAnswer answer(const ServeRequest& request) override { return answerCaught(world_, request); }
    std::int64_t nowMs() const override { return world_.nowMs(); }
    EventFeed& feed() override { return world_.feed(); }

  private:
    ServeWorld world_;
};

} // namespace kiv::kivhost
