#include "kivhost/serve/connection_slots.h"

#include <algorithm>

namespace kiv::kivhost {

using tcp = boost::asio::ip::tcp;

bool ConnectionSlots::waitForRoom() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || slots_.size() < kMaxConnections; });
    return !stopping_;
}

bool ConnectionSlots::take(tcp::socket& socket) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return false;
    }
    slots_.emplace(&socket, Slot{});
    return true;
}

void ConnectionSlots::release(std::unique_ptr<tcp::socket> socket) {
    std::lock_guard lock(mutex_);
    slots_.erase(socket.get());
    boost::system::error_code ignored;
    socket->close(ignored);
    socket.reset();
    changed_.notify_all(); // under the lock: waitUntilEmpty() cannot return before this thread lets go
}

void ConnectionSlots::setDeadline(tcp::socket& socket, Clock::time_point deadline) {
    std::lock_guard lock(mutex_);
    slots_[&socket].deadline = deadline;
    changed_.notify_all(); // the watchdog may have to wake earlier
}

bool ConnectionSlots::timedOut(tcp::socket& socket) {
    std::lock_guard lock(mutex_);
    const auto slot = slots_.find(&socket);
    return slot != slots_.end() && slot->second.timedOut;
}

void ConnectionSlots::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        auto earliest = Clock::time_point::max();
        const auto now = Clock::now();
        for (auto& [socket, slot] : slots_) {
            if (slot.deadline <= now) {
                shutDown(*socket);
                slot.timedOut = true;
                slot.deadline = Clock::time_point::max(); // once is enough; the connection ends
            }
            earliest = std::min(earliest, slot.deadline);
        }
        if (earliest == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, earliest);
        }
    }
}

void ConnectionSlots::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const auto& entry : slots_) {
        shutDown(*entry.first);
    }
    changed_.notify_all();
}

void ConnectionSlots::waitUntilEmpty() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return slots_.empty(); });
}

void ConnectionSlots::shutDown(tcp::socket& socket) {
    boost::system::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
}

} // namespace kiv::kivhost
