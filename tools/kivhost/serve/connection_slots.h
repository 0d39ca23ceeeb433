// The connections `kivhost serve` is serving: at most kMaxConnections at once, each a client socket
// with an io_context of its own, in which its thread waits for the client's bytes until the
// connection's deadline (see http_connection.h). stop() wakes every connection: a wait for bytes
// is cancelled through the connection's io_context, and a write blocked on a client that stopped
// reading ends when the socket is shut down.
//
// A connection's socket is touched by stop() only under the slots' lock and only while it holds
// its slot; it gives the slot back and is destroyed in one step, so once the last slot is given
// back no connection is left to outlive the server.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxConnections = 64;

struct ClientSocket {
    boost::asio::io_context io{1};
    boost::asio::ip::tcp::socket socket{io};
};

class ConnectionSlots {
  public:
    // Waits until a slot is free; false once stopping.
    bool waitForRoom();
    // Takes a slot for the client; false once stopping.
    bool take(const std::shared_ptr<ClientSocket>& client);
    // Gives the client's slot back, and closes and destroys its socket unless another owner is
    // still to let go of it.
    void release(std::shared_ptr<ClientSocket> client);
    // Wakes every connection, for good: no slot is given out from now on.
    void stop();
    // Waits until every slot has been given back.
    void waitUntilEmpty();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::shared_ptr<ClientSocket>> clients_;
    bool stopping_ = false;
};

} // namespace kiv::kivhost
