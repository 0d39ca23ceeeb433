// The bytes of large answers that connections hold while their clients read them: bounded, so
// that many clients asking for a large state or recording and reading it slowly (or not at all)
// cannot take the server's memory between them.
#pragma once

#include "kivhost/serve/serve_limits.h"

#include <cstddef>
#include <mutex>

namespace kiv::kivhost {

class AnswerBudget {
  public:
    // Takes `bytes` for an answer about to be written; false when that would pass
    // kMaxAnswerBytesInFlight. Answers up to kSmallAnswerBytes take nothing and always pass.
    bool take(std::size_t bytes) {
        if (bytes <= kSmallAnswerBytes) {
            return true;
        }
        std::lock_guard lock(mutex_);
        if (held_ + bytes > kMaxAnswerBytesInFlight) {
            return false;
        }
        held_ += bytes;
        return true;
    }
    // Gives back what take() took for an answer of `bytes` once it is written or abandoned.
    void give(std::size_t bytes) {
        if (bytes > kSmallAnswerBytes) {
            std::lock_guard lock(mutex_);
            held_ -= bytes;
        }
    }

  private:
    std::mutex mutex_;
    std::size_t held_ = 0;
};

} // namespace kiv::kivhost
