#include "kivhost/core/delivery_thread.h"

#include "platform/invariant.h"

namespace kiv::kivhost {

DeliveryThread::DeliveryThread() : thread_([this] { loop(); }) {}

DeliveryThread::~DeliveryThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void DeliveryThread::run(const std::function<void()>& task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::lock_guard caller(callers_);
    std::unique_lock lock(mutex_);
    KIV_ASSERT(task_ == nullptr, "callers_ lets one caller at a time hand over a task");
    task_ = &task;
    done_ = false;
    wake_.notify_one();
    finished_.wait(lock, [this] { return done_; });
    if (std::exception_ptr error = std::exchange(error_, nullptr)) {
        std::rethrow_exception(error);
    }
}

void DeliveryThread::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return task_ != nullptr || stopping_; });
        if (!task_) {
            return;
        }
        const std::function<void()>* task = std::exchange(task_, nullptr);
        lock.unlock();
        std::exception_ptr error;
        try {
            (*task)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        error_ = error;
        done_ = true;
        finished_.notify_one();
    }
}

} // namespace kiv::kivhost
