// The threads that serve connections: one per open connection, at most `limit` at a time.
//
// cpp-httplib hands each accepted connection to its task queue. This one starts threads as
// they are needed and, with `limit` connections open, holds the accepting thread until one
// closes: further clients wait in the listening socket's backlog instead of taking a thread or
// a descriptor each.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv::kivhost {

class ConnectionPool final : public httplib::TaskQueue {
  public:
    explicit ConnectionPool(std::size_t limit) : limit_(limit) {}
    ~ConnectionPool() override { shutdown(); }

    void enqueue(std::function<void()> connection) override;
    // Lets a held accepting thread go (its connection is dropped) and waits for the open ones.
    void shutdown() override;

  private:
    void work();

    const std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> waiting_;
    std::size_t busy_ = 0; // connections waiting or being served
    std::size_t idle_ = 0; // threads waiting for a connection
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace kiv::kivhost
