// Signed 64-bit arithmetic that holds at the ends of the range instead of wrapping round. Clock
// readings, minute counts from other plugins' data and delays from the host all meet here: a
// moment far in the past must stay far in the past, a delay far out of range must stay far out.
#pragma once

#include <cstdint>
#include <limits>

namespace kiv::platform {

inline constexpr std::int64_t kInt64Lowest = std::numeric_limits<std::int64_t>::min();
inline constexpr std::int64_t kInt64Highest = std::numeric_limits<std::int64_t>::max();

constexpr std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) {
        return sum;
    }
    return b > 0 ? kInt64Highest : kInt64Lowest;
}

constexpr std::int64_t saturatingSubtract(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference)) {
        return difference;
    }
    return b > 0 ? kInt64Lowest : kInt64Highest;
}

constexpr std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t product = 0;
    if (!__builtin_mul_overflow(a, b, &product)) {
        return product;
    }
    return (a > 0) == (b > 0) ? kInt64Highest : kInt64Lowest;
}

// `value` truncated toward zero and held within Integer's range; `notANumber` for NaN.
template <class Integer> constexpr Integer saturatingTruncate(double value, Integer notANumber = 0) noexcept {
    using Limits = std::numeric_limits<Integer>;
    if (value != value) {
        return notANumber;
    }
    // Both bounds are powers of two (or zero), so they convert to doubles exactly; the maximum
    // itself may not, which is why the upper test is against max + 1.
    constexpr double lowest = static_cast<double>(Limits::min());
    constexpr double beyondHighest = static_cast<double>(Limits::max() / 2 + 1) * 2.0;
    if (value >= beyondHighest) {
        return Limits::max();
    }
    if (value <= lowest) {
        return Limits::min();
    }
    return static_cast<Integer>(value);
}

} // namespace kiv::platform
