// The fuzzer's bytes, read front to back as the choices of a host. Every read succeeds: once the
// bytes run out, numbers read as 0 and texts as empty, so any input is a complete run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kiv::fuzzing {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(size) {}

    bool empty() const noexcept { return offset_ >= size_; }

    std::uint8_t byte() noexcept { return offset_ < size_ ? data_[offset_++] : 0; }

    template <class Integer> Integer integer() noexcept {
        Integer value{};
        const std::size_t count = std::min(sizeof value, size_ - std::min(offset_, size_));
        std::memcpy(&value, data_ + offset_, count);
        offset_ += count;
        return value;
    }

    // A choice among `count` (above 0) possibilities.
    std::size_t pick(std::size_t count) noexcept { return count == 0 ? 0 : byte() % count; }

    bool flag() noexcept { return (byte() & 1) != 0; }

    // Bytes of a length given by the input (at most `limit`), as a text that may hold any byte.
    std::string text(std::size_t limit = 255) {
        const std::size_t wanted = limit > 255 ? integer<std::uint16_t>() : byte();
        const std::size_t length = std::min({wanted, limit, size_ - std::min(offset_, size_)});
        std::string result(reinterpret_cast<const char*>(data_ + offset_), length);
        offset_ += length;
        return result;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Writes what FuzzInput reads back, for the seeds of the corpus.
class FuzzScript {
  public:
    void byte(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
    template <class Integer> void integer(Integer value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void text(std::string_view text, std::size_t limit = 255) {
        const std::size_t length = std::min({text.size(), limit, std::size_t{0xFFFF}});
        if (limit > 255) {
            integer(static_cast<std::uint16_t>(length));
        } else {
            byte(static_cast<std::uint8_t>(length));
        }
        bytes_.append(text.substr(0, length));
    }
    const std::string& bytes() const noexcept { return bytes_; }

  private:
    std::string bytes_;
};

} // namespace kiv::fuzzing
