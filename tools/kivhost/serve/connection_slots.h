// The connections `kivhost serve` is serving: at most kMaxConnections at once, each with the moment
// its current read must be done by. A watchdog shuts down a connection whose read runs past its
// deadline, so that clients that connect and send nothing, or never end their header block,
// cannot hold every slot and keep the server from others; stop() shuts down every connection.
//
// A connection's socket is shut down only under the slots' lock and only while it holds its slot;
// it gives the slot back and closes and destroys the socket in one step, so no shutdown ever
// reaches a socket closed meanwhile, and once the last slot is given back no socket is left to
// outlive the server's io_context. A shutdown from another thread is what wakes a thread blocked in a read or
// a write on the socket (it touches the socket's descriptor only).
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxConnections = 64;

class ConnectionSlots {
  public:
    using Clock = std::chrono::steady_clock;

    // Waits until a slot is free; false once stopping.
    bool waitForRoom();
    // Takes a slot for the socket, with no deadline yet; false once stopping.
    bool take(boost::asio::ip::tcp::socket& socket);
    // Gives the socket's slot back, closes and destroys the socket.
    void release(std::unique_ptr<boost::asio::ip::tcp::socket> socket);
    // The socket's current read must be done by `deadline`; Clock::time_point::max(): no limit.
    void setDeadline(boost::asio::ip::tcp::socket& socket, Clock::time_point deadline);
    // Whether the watchdog shut the socket down for a read past its deadline.
    bool timedOut(boost::asio::ip::tcp::socket& socket);

    // Shuts down connections as their deadlines pass, until stop().
    void watch();
    // Shuts down every connection and wakes watch() and waitForRoom() for good.
    void stop();
    // Waits until every slot has been given back.
    void waitUntilEmpty();

  private:
    void shutDown(boost::asio::ip::tcp::socket& socket);

    struct Slot {
        Clock::time_point deadline = Clock::time_point::max();
        bool timedOut = false;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<boost::asio::ip::tcp::socket*, Slot> slots_;
    bool stopping_ = false;
};

} // namespace kiv::kivhost
