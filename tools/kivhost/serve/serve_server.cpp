#include "kivhost/serve/serve_server.h"

#include "kivhost/serve/http_connection.h"

#include <sys/socket.h>

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
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || open_.size() < kMaxConnections; });
            if (stopping_) {
                break;
            }
        }
        tcp::socket socket(io_);
        boost::system::error_code failed;
        acceptor_.accept(socket, failed);
        if (failed) {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
            // Out of descriptors or a connection reset before it was taken: try again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        // Answers go out at once: without this, a small answer on a reused connection waits for
        // the client's delayed acknowledgement of the previous one (about 40 ms).
        socket.set_option(tcp::no_delay(true), failed);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            break;
        }
        open_.insert(socket.native_handle());
        ++running_;
        std::thread([this, socket = std::move(socket)]() mutable {
            serveConnection(std::move(socket));
        }).detach();
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; });
}

void ServeServer::serveConnection(tcp::socket socket) {
    serveHttpConnection(socket, world_, rules_, log_);
    {
        // Forgotten before it is closed, so that stop() never shuts down a descriptor that a new
        // connection has been given meanwhile.
        std::lock_guard lock(mutex_);
        open_.erase(socket.native_handle());
    }
    boost::system::error_code ignored;
    socket.close(ignored);
    std::lock_guard lock(mutex_);
    --running_;
    changed_.notify_all(); // under the lock: listen() cannot return before this thread lets go
}

void ServeServer::stop() {
    world_.feed().close();
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // A shut-down socket wakes the thread blocked on it: accept fails, and a read of an idle
    // keep-alive connection or a write to a client that stopped reading ends at once.
    ::shutdown(acceptor_.native_handle(), SHUT_RDWR);
    for (const int socket : open_) {
        ::shutdown(socket, SHUT_RDWR);
    }
    changed_.notify_all();
}

} // namespace kiv::kivhost
