// The scalar half of a flat walk sink that reads records as integers, the way Value::asInteger(0)
// reads the node a tree would hold: a Bool is 0 or 1, a Float is truncated toward zero and
// saturated, a String is read as a signed integer up to its first character that does not fit,
// and an Empty or a Blob is 0. Each setter hands its integer to the sink's take(target, integer);
// a text is read only for a target that the sink's reads(target) names.
#pragma once

#include "platform/saturating.h"
#include "value/number_reading.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace kiv {

template <class Sink, class Target> class FlatIntegerReadings {
  public:
    void setEmpty(Target to) noexcept { sink().take(to, 0); }
    void setBool(Target to, bool value) noexcept { sink().take(to, value ? 1 : 0); }
    void setSigned(Target to, std::int64_t value) noexcept { sink().take(to, value); }
    void setUnsigned(Target to, std::uint64_t value) noexcept {
        sink().take(to, static_cast<std::int64_t>(value));
    }
    void setFloat(Target to, double value) noexcept {
        sink().take(to, platform::saturatingTruncate<std::int64_t>(value));
    }
    void setString(Target to, std::string_view text) noexcept {
        if (sink().reads(to)) {
            sink().take(to, readSignedPrefix(text).value);
        }
    }
    void setBlob(Target to, std::span<const std::uint8_t>) noexcept { sink().take(to, 0); }

  private:
    Sink& sink() noexcept { return static_cast<Sink&>(*this); }
};

} // namespace kiv
