#include "kivhost/serve/connection_slots.h"

#include "kivhost/serve/serve_limits.h"

#include <boost/asio/post.hpp>

#include <algorithm>
#include <chrono>

namespace kiv::kivhost {
namespace {

using tcp = boost::asio::ip::tcp;

// How often a server with every slot taken looks again for a connection to close: a closed one
// gives its slot back within a moment, one found waiting later is closed then.
constexpr std::chrono::milliseconds kRoomWait{50};

std::int64_t nowTicks() noexcept {
    // Never 0, which stands for "not waiting".
    const std::int64_t ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return ticks == 0 ? 1 : ticks;
}

// Wakes the connection's thread, which then ends the connection: run by that thread in its
// next wait, or the one under way; the shut-down socket fails every read and write at once.
void closeConnection(ClientSocket& client) {
    client.closing = true;
    boost::asio::post(client.io, [&client] {
        boost::system::error_code ignored;
        client.socket.cancel(ignored);
    });
    boost::system::error_code ignored;
    client.socket.shutdown(tcp::socket::shutdown_both, ignored);
}

} // namespace

void ClientSocket::startWaiting() noexcept {
    waitingSince = nowTicks();
}

ClientSocket* ConnectionSlots::earliest(std::atomic<std::int64_t> ClientSocket::*since, bool streams) const {
    ClientSocket* found = nullptr;
    std::int64_t foundSince = 0;
    for (const std::shared_ptr<ClientSocket>& client : clients_) {
        const std::int64_t at = (*client.*since).load();
        const bool stream = client->streamingSince != 0;
        if (at != 0 && stream == streams && !client->closing && (!found || at < foundSince)) {
            found = client.get();
            foundSince = at;
        }
    }
    return found;
}

bool ConnectionSlots::waitForRoom() {
    std::unique_lock lock(mutex_);
    while (!stopping_ && clients_.size() >= kMaxConnections) {
        // One at a time: a connection closed for room gives its slot back within a moment.
        const bool closing =
            std::any_of(clients_.begin(), clients_.end(),
                        [](const std::shared_ptr<ClientSocket>& client) { return client->closing.load(); });
        ClientSocket* longest = closing ? nullptr : earliest(&ClientSocket::waitingSince, false);
        if (longest) {
            closeConnection(*longest);
        }
        changed_.wait_for(lock, kRoomWait);
    }
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

void ConnectionSlots::startStream(ClientSocket& client) {
    std::lock_guard lock(mutex_);
    std::size_t streams = 0;
    for (const std::shared_ptr<ClientSocket>& other : clients_) {
        streams += other->streamingSince != 0 && !other->closing ? 1 : 0;
    }
    if (streams >= kMaxStreams) {
        if (ClientSocket* oldest = earliest(&ClientSocket::streamingSince, true)) {
            closeConnection(*oldest);
        }
    }
    client.streamingSince = nowTicks();
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
        closeConnection(*client);
    }
    changed_.notify_all();
}

void ConnectionSlots::waitUntilEmpty() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return clients_.empty(); });
}

} // namespace kiv::kivhost
