// A client connection's socket as the connection's thread reads and writes it: every wait for the
// client has a deadline, so that no client holds a thread and a connection slot past it.
//
// Reads wait for bytes until the deadline that readFor() last set. Each write waits at most
// kWriteTime for the client to take something: a client that reads slowly is served, one that
// takes nothing for that long is dropped. The waits run in the connection's own io_context, where
// the server's stop, or the connection being closed to make room for another, cancels them. The
// socket is non-blocking, so that no read or write blocks outside those waits; while it waits, the
// connection is marked as waiting on its client (see ConnectionSlots).
#pragma once

#include "kivhost/serve/connection_slots.h"
#include "kivhost/serve/serve_limits.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/system/system_error.hpp>

#include <chrono>
#include <cstddef>

namespace kiv::kivhost {

class DeadlineSocket {
  public:
    explicit DeadlineSocket(ClientSocket& client);

    using executor_type = boost::asio::ip::tcp::socket::executor_type;
    executor_type get_executor() { return client_.socket.get_executor(); }
    boost::asio::ip::tcp::socket& socket() noexcept { return client_.socket; }

    // The reads that follow must be done within `time`.
    void readFor(std::chrono::steady_clock::duration time);
    // Whether a wait ran out (rather than the client leaving or the connection being closed).
    bool timedOut() const noexcept { return timedOut_; }
    // Whether bytes came (or the client closed) before the read deadline.
    bool waitForBytes(boost::system::error_code& failed);

    template <typename Buffers>
    std::size_t read_some(const Buffers& buffers, boost::system::error_code& failed) {
        for (;;) {
            if (!waitForBytes(failed)) {
                return 0;
            }
            const std::size_t got = client_.socket.read_some(buffers, failed);
            if (failed != boost::asio::error::would_block) {
                return got;
            }
        }
    }
    template <typename Buffers>
    std::size_t write_some(const Buffers& buffers, boost::system::error_code& failed) {
        for (;;) {
            const std::size_t put = client_.socket.write_some(buffers, failed);
            if (failed != boost::asio::error::would_block) {
                return put;
            }
            if (!waitFor(boost::asio::ip::tcp::socket::wait_write,
                         std::chrono::steady_clock::now() + kWriteTime, failed)) {
                return 0;
            }
        }
    }
    template <typename Buffers> std::size_t read_some(const Buffers& buffers) {
        return orThrow(read_some(buffers, lastFailure_));
    }
    template <typename Buffers> std::size_t write_some(const Buffers& buffers) {
        return orThrow(write_some(buffers, lastFailure_));
    }

  private:
    // Whether the socket became ready before the deadline; false when the wait ran out, was
    // cancelled or failed.
    bool waitFor(boost::asio::ip::tcp::socket::wait_type type, std::chrono::steady_clock::time_point deadline,
                 boost::system::error_code& failed);
    std::size_t orThrow(std::size_t done) const {
        if (lastFailure_) {
            throw boost::system::system_error(lastFailure_);
        }
        return done;
    }

    ClientSocket& client_;
    std::chrono::steady_clock::time_point readDeadline_{};
    bool timedOut_ = false;
    boost::system::error_code lastFailure_;
};

} // namespace kiv::kivhost
