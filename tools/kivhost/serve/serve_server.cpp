#include "kivhost/serve/serve_server.h"

#include "kivhost/serve/http_connection.h"

#include <boost/asio/post.hpp>

#include <chrono>
#include <memory>
#include <thread>

namespace kiv::kivhost {

namespace net = boost::asio;
using tcp = net::ip::tcp;

ServeServer::ServeServer(ServeWorld& world, AccessOptions access, std::ostream* requestLog)
    : world_(world), rules_(std::move(access)), log_(world.feed(), requestLog), acceptor_(io_) {}

int ServeServer::bind(int port, std::string& error) {
    boost::system::error_code failed;
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port));
    // SO_REUSEADDR lets a restarted server take its port while old connections linger; on Linux
    // it never lets two listening sockets share a port (SO_REUSEPORT would, and is not set).
    acceptor_.open(endpoint.protocol(), failed);
    if (!failed) {
        acceptor_.set_option(tcp::acceptor::reuse_address(true), failed);
    }
    if (!failed) {
        acceptor_.bind(endpoint, failed);
    }
    if (!failed) {
        acceptor_.listen(net::socket_base::max_listen_connections, failed);
    }
    if (failed) {
        error = failed == net::error::address_in_use ? "address in use" : failed.message();
        return -1;
    }
    const int bound = acceptor_.local_endpoint().port();
    rules_.setPort(bound);
    return bound;
}

void ServeServer::listen() {
    std::thread watchdog([this] { slots_.watch(); });
    acceptNext();
    io_.run(); // until stop() closes the listening socket
    slots_.waitUntilEmpty();
    watchdog.join();
}

void ServeServer::acceptNext() {
    // With every slot taken, further clients wait in the listening socket's backlog.
    if (slots_.waitForRoom()) {
        acceptor_.async_accept([this](const boost::system::error_code& failed, tcp::socket socket) {
            accepted(failed, std::move(socket));
        });
    }
}

void ServeServer::accepted(const boost::system::error_code& failed, tcp::socket socket) {
    if (failed == net::error::operation_aborted) {
        return; // stop() closed the listening socket
    }
    if (failed) {
        // Out of descriptors or a connection reset before it was taken: try again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        acceptNext();
        return;
    }
    // Answers go out at once: without this, a small answer on a reused connection waits for the
    // client's delayed acknowledgement of the previous one (about 40 ms).
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    auto owned = std::make_unique<tcp::socket>(std::move(socket));
    if (!slots_.take(*owned)) {
        return; // stopping
    }
    std::thread([this, owned = std::move(owned)]() mutable {
        serveHttpConnection(*owned, slots_, world_, rules_, log_);
        slots_.release(std::move(owned));
    }).detach();
    acceptNext();
}

void ServeServer::stop() {
    world_.feed().close();
    // Every connection's socket is shut down, which wakes the thread blocked on it: a read of an
    // idle keep-alive connection or a write to a client that stopped reading ends at once.
    slots_.stop();
    net::post(io_, [this] {
        boost::system::error_code ignored;
        acceptor_.close(ignored);
    });
}

} // namespace kiv::kivhost
