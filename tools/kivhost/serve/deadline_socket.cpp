#include "kivhost/serve/deadline_socket.h"

namespace kiv::kivhost {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using boost::system::error_code;

DeadlineSocket::DeadlineSocket(ClientSocket& client) : client_(client) {
    error_code ignored; // a socket that cannot be made non-blocking is one already closed
    client_.socket.non_blocking(true, ignored);
}

void DeadlineSocket::readFor(std::chrono::steady_clock::duration time) {
    readDeadline_ = std::chrono::steady_clock::now() + time;
}

bool DeadlineSocket::waitForBytes(error_code& failed) {
    return waitFor(tcp::socket::wait_read, readDeadline_, failed);
}

bool DeadlineSocket::waitFor(tcp::socket::wait_type type, std::chrono::steady_clock::time_point deadline,
                             error_code& failed) {
    if (client_.closing) {
        failed = net::error::operation_aborted;
        return false;
    }
    bool done = false;
    client_.socket.async_wait(type, [&](const error_code& waited) {
        failed = waited;
        done = true;
    });
    client_.startWaiting();
    client_.io.restart();
    client_.io.run_until(deadline);
    if (!done) {
        client_.socket.cancel(failed);
        client_.io.run(); // the wait ends, cancelled
        timedOut_ = true;
        failed = net::error::timed_out;
    }
    client_.stopWaiting();
    return !failed;
}

} // namespace kiv::kivhost
