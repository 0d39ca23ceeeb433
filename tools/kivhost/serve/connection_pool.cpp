#include "kivhost/serve/connection_pool.h"

#include "platform/invariant.h"

namespace kiv::kivhost {

void ConnectionPool::enqueue(std::function<void()> connection) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || busy_ < limit_; });
    if (stopping_) {
        return; // the server is going away; the descriptor closes with the process
    }
    ++busy_;
    KIV_ASSERT(busy_ <= limit_, "the accepting thread waits while `limit` connections are open");
    waiting_.push_back(std::move(connection));
    // An idle thread that has not woken yet is counted for the connection before this one: each
    // waiting connection needs an idle thread of its own, or it would wait behind a long stream.
    if (waiting_.size() > idle_) {
        threads_.emplace_back([this] { work(); });
    }
    changed_.notify_all();
}

void ConnectionPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        --idle_;
        if (waiting_.empty()) {
            return;
        }
        std::function<void()> connection = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        connection();
        connection = nullptr;
        lock.lock();
        KIV_ASSERT(busy_ > 0, "each connection served was counted when it came");
        --busy_;
        changed_.notify_all();
    }
}

void ConnectionPool::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    changed_.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

} // namespace kiv::kivhost
