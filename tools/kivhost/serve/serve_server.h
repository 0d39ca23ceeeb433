// The HTTP side of `kivhost serve` on Boost.Beast: binds loopback only, serves each connection on
// a thread of its own, at most kMaxConnections at once (when all are taken, the one waiting
// longest on its client makes room; further clients wait in the listening socket's backlog
// meanwhile), ends connections whose reads or writes run past their deadlines, and stops within a
// moment, idle keep-alive connections included.
#pragma once

#include "kivhost/serve/access_rules.h"
#include "kivhost/serve/answer_budget.h"
#include "kivhost/serve/connection_slots.h"
#include "kivhost/serve/request_log.h"
#include "kivhost/serve/serve_backend.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <memory>
#include <ostream>
#include <string>

namespace kiv::kivhost {

class ServeServer {
  public:
    // `requestLog` receives a line per request when given.
    ServeServer(ServeBackend& backend, AccessOptions access, std::ostream* requestLog);

    // Binds 127.0.0.1 at the port, or at a free one for 0, and listens; returns the port, or -1
    // with the reason in `error` (another server holds the port: "address in use").
    int bind(int port, std::string& error);
    // Serves until stop() is called and every connection has ended.
    void listen();
    // Safe from any thread: ends the event streams, stops accepting and closes every connection.
    void stop();

  private:
    // Accepts the next connection once a slot is free; on listen()'s thread.
    void acceptNext();
    void accepted(const boost::system::error_code& failed, const std::shared_ptr<ClientSocket>& client);

    ServeBackend& backend_;
    AccessRules rules_;
    RequestLog log_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    ConnectionSlots slots_;
    AnswerBudget answers_;
};

} // namespace kiv::kivhost
