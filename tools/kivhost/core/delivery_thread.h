// The host's one delivery thread: every entry into a plugin (its export, callbacks, event
// deliveries, request dispatches and timers) runs on it, as on the platform, whichever thread
// drives the host.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace kiv::kivhost {

class DeliveryThread {
  public:
    DeliveryThread();
    ~DeliveryThread();
    DeliveryThread(const DeliveryThread&) = delete;
    DeliveryThread& operator=(const DeliveryThread&) = delete;

    // Runs the task on the delivery thread and waits for it; what it throws is thrown here.
    // On the delivery thread itself the task runs at once.
    void run(const std::function<void()>& task);

    template <class Task> auto call(Task&& task) -> std::invoke_result_t<Task> {
        using Result = std::invoke_result_t<Task>;
        if constexpr (std::is_void_v<Result>) {
            run(task);
        } else {
            std::optional<Result> result;
            run([&] { result.emplace(task()); });
            return std::move(*result);
        }
    }

    bool isCurrent() const noexcept { return std::this_thread::get_id() == thread_.get_id(); }

  private:
    void loop();

    std::mutex callers_; // one caller hands over a task at a time
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* task_ = nullptr;
    std::exception_ptr error_;
    bool done_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace kiv::kivhost
