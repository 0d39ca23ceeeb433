#include "kivhost/serve/serve_server.h"

#include "kivhost/serve/http_connection.h"
#include "kivhost/serve/port_claim.h"

#include <boost/asio/post.hpp>

#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

namespace kiv::kivhost {

namespace net = boost::asio;
using tcp = net::ip::tcp;

ServeServer::ServeServer(ServeBackend& backend, AccessOptions access, std::ostream* requestLog)
    : backend_(backend), rules_(std::move(access)), log_(backend.feed(), requestLog), acceptor_(io_) {}

int ServeServer::bind(int port, std::string& error) {
    boost::system::error_code failed;
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port));
    acceptor_.open(endpoint.protocol(), failed);
    if (!failed) {
        claimPortAlone(acceptor_, failed);
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
    acceptNext();
    io_.run(); // until stop() closes the listening socket
    slots_.waitUntilEmpty();
}

void ServeServer::acceptNext() {
    // With every slot taken, further clients wait in the listening socket's backlog.
    if (!slots_.waitForRoom()) {
        return;
    }
    auto client = std::make_shared<ClientSocket>();
    acceptor_.async_accept(client->socket, [this, client](const boost::system::error_code& failed) {
        accepted(failed, client);
    });
}

void ServeServer::accepted(const boost::system::error_code& failed,
                           const std::shared_ptr<ClientSocket>& client) {
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
    client->socket.set_option(tcp::no_delay(true), ignored);
    if (!slots_.take(client)) {
        return; // stopping
    }
    try {
        std::thread([this, client]() mutable {
            ServeContext context{backend_, rules_, log_, slots_, answers_};
            serveHttpConnection(*client, context);
            slots_.release(std::move(client));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had (the address space is full): the client is closed unserved, and
        // the server goes on with those it serves.
        slots_.release(client);
    }
    acceptNext();
}

void ServeServer::stop() {
    backend_.feed().close();
    slots_.stop();
    net::post(io_, [this] {
        boost::system::error_code ignored;
        acceptor_.close(ignored);
    });
}

} // namespace kiv::kivhost
