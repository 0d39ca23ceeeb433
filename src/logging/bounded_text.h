// Appends text to a caller's fixed buffer without ever writing past it: what does not fit is cut.
// The text is kept NUL-terminated after every step.
#pragma once

#include "logging/printf_checked.h"
#include "platform/invariant.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kiv {

class BoundedText {
  public:
    // Text of at most `limit` characters in `out`, which has room for limit + 1 bytes.
    BoundedText(char* out, std::size_t limit) noexcept : out_(out), limit_(limit) {
        KIV_ASSERT(out != nullptr, "callers turn away a missing buffer before building text in it");
        out_[0] = '\0';
    }

    void append(std::string_view text) noexcept {
        const std::size_t count = text.size() < room() ? text.size() : room();
        if (count != 0) {
            std::memcpy(out_ + length_, text.data(), count);
        }
        length_ += count;
        out_[length_] = '\0';
    }

    void append(char c) noexcept {
        if (room() == 0) {
            return;
        }
        out_[length_++] = c;
        out_[length_] = '\0';
    }

    // printf into the remaining room, cut like any other text.
    KIV_PRINTF_CHECKED(2, 3) void appendFormat(const char* format, ...) noexcept {
        va_list arguments;
        va_start(arguments, format);
        const int written = std::vsnprintf(out_ + length_, room() + 1, format, arguments);
        va_end(arguments);
        if (written < 0) {
            out_[length_] = '\0';
        } else {
            length_ +=
                static_cast<std::size_t>(written) < room() ? static_cast<std::size_t>(written) : room();
        }
    }

    bool full() const noexcept { return length_ == limit_; }
    std::size_t length() const noexcept { return length_; }
    std::string_view view() const noexcept { return {out_, length_}; }

  private:
    std::size_t room() const noexcept { return limit_ - length_; }

    char* out_;
    std::size_t limit_;
    std::size_t length_ = 0;
};

} // namespace kiv
