// The connections `kivhost serve` is serving: at most kMaxConnections at once, each a client socket
// with an io_context of its own, in which its thread waits for the client (see deadline_socket.h).
//
// No client within the limits keeps the others out. When every slot is taken, the connection that
// has waited longest on its client (an idle keep-alive one, or one whose client stopped reading)
// is closed to make room for the next; event streams, which wait on the feed rather than their
// clients, are kept to kMaxStreams, and a stream past it closes the oldest one.
//
// Closing a connection, for room or for the server's stop, wakes its thread: a wait for the
// client is cancelled through the connection's io_context, and the socket is shut down so that
// any read or write fails at once. A connection's socket is touched so only under the slots' lock
// and only while it holds its slot; it gives the slot back and is destroyed in one step, so once
// the last slot is given back no connection is left to outlive the server.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxConnections = 64;

struct ClientSocket {
    boost::asio::io_context io{1};
    boost::asio::ip::tcp::socket socket{io};
    // When the connection began to wait on its client, in steady-clock ticks; 0 while it does not.
    std::atomic<std::int64_t> waitingSince{0};
    // When it became an event stream, in steady-clock ticks; 0 while it is none.
    std::atomic<std::int64_t> streamingSince{0};
    // Set once the connection is to end: no further wait starts.
    std::atomic<bool> closing{false};

    void startWaiting() noexcept;
    void stopWaiting() noexcept { waitingSince = 0; }
};

class ConnectionSlots {
  public:
    // Waits until a slot is free, closing the connection that has waited longest on its client
    // when none is; false once stopping.
    bool waitForRoom();
    // Takes a slot for the client; false once stopping.
    bool take(const std::shared_ptr<ClientSocket>& client);
    // The client's connection becomes an event stream; past kMaxStreams the oldest stream is
    // closed.
    void startStream(ClientSocket& client);
    // Gives the client's slot back, and closes and destroys its socket unless another owner is
    // still to let go of it.
    void release(std::shared_ptr<ClientSocket> client);
    // Wakes every connection, for good: no slot is given out from now on.
    void stop();
    // Waits until every slot has been given back.
    void waitUntilEmpty();

  private:
    // The connection not yet closing whose `since` is the earliest and not 0, or null; under the
    // lock.
    ClientSocket* earliest(std::atomic<std::int64_t> ClientSocket::*since, bool streams) const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::shared_ptr<ClientSocket>> clients_;
    bool stopping_ = false;
};

} // namespace kiv::kivhost
