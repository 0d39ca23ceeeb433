// The outcome of every conversion, decode and parse: a value and an ok flag. A failure is
// ok = false with the value {"error": message}; the first error wins because every stage
// checks ok() before it does anything.
#pragma once

#include "value/value.h"

#include <string_view>

namespace kiv {

// The message for an exception that a value operation threw: a limit of the tree, running out of
// memory, or anything else. Called inside a catch block; the text lives as long as the exception
// being handled.
[[nodiscard]] std::string_view failureTextOfCurrentException() noexcept;

class [[nodiscard]] ConversionResult {
  public:
    ConversionResult() = default;

    bool ok() const noexcept { return ok_; }
    Value& value() noexcept { return value_; }
    const Value& value() const noexcept { return value_; }

    // Marks the result failed: the value becomes {"error": message}.
    void setError(std::string_view message);
    // The message of a failed result; "" when the result is ok or holds no error text.
    std::string_view errorText() const noexcept;

    // Runs `step` and turns the length and memory errors that value operations may throw
    // into error results, so that nothing escapes a conversion entry.
    template <class Step> void guard(Step&& step) noexcept {
        try {
            step();
        } catch (...) {
            failFromCurrentException();
        }
    }

  private:
    void failFromCurrentException() noexcept;

    Value value_;
    bool ok_ = true;
};

} // namespace kiv
