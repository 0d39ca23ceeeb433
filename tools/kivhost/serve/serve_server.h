// The HTTP side of `kivhost serve` on cpp-httplib: binds loopback only, answers every request
// through answerRequest, streams /events, and keeps the limits: at most 64 connections open at
// once and request bodies of at most 1 MB.
#pragma once

#include "kivhost/serve/connection_pool.h"
#include "kivhost/serve/serve_world.h"

#include <httplib.h>

#include <cstddef>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxConnections = 64;
inline constexpr std::size_t kMaxBodyBytes = 1u << 20;

class ServeServer {
  public:
    explicit ServeServer(ServeWorld& world);

    // Binds 127.0.0.1 at the port, or at a free one for 0; returns the port, or -1 when the
    // port cannot be had.
    int bind(int port);
    // Serves until stop() is called.
    bool listen();
    // Safe from any thread: ends the event streams, stops accepting and returns listen().
    void stop();

  private:
    void answer(const httplib::Request& request, httplib::Response& response);
    void stream(const httplib::Request& request, httplib::Response& response);

    ServeWorld& world_;
    httplib::Server server_;
};

} // namespace kiv::kivhost
