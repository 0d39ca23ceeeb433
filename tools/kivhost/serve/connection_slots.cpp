#include "kivhost/serve/connection_slots.h"

#include <boost/asio/post.hpp>

namespace kiv::kivhost {

using tcp = boost::asio::ip::tcp;

bool ConnectionSlots::waitForRoom() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || clients_.size() < kMaxConnections; });
    return !stopping_;
}

bool ConnectionSlots::take(const std::shared_ptr<ClientSocket>& client) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return false;
    }
    clients_.insert(client);
    return true;
}

void ConnectionSlots::release(std::shared_ptr<ClientSocket> client) {
    std::lock_guard lock(mutex_);
    clients_.erase(client);
    boost::system::error_code ignored;
    client->socket.close(ignored);
    client.reset();
    changed_.notify_all(); // under the lock: waitUntilEmpty() cannot return before this thread lets go
}

void ConnectionSlots::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const std::shared_ptr<ClientSocket>& client : clients_) {
        // Run by the connection's own thread in its next wait for bytes, or the one under way.
        boost::asio::post(client->io, [client = client.get()] {
            boost::system::error_code ignored;
            client->socket.cancel(ignored);
        });
        boost::system::error_code ignored;
        client->socket.shutdown(tcp::socket::shutdown_both, ignored);
    }
    changed_.notify_all();
}

void ConnectionSlots::waitUntilEmpty() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return clients_.empty(); });
}

} // namespace kiv::kivhost
