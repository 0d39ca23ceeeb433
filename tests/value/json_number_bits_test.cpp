// Decimal texts whose nearest double is hard to reach, pinned to the bits of the correctly rounded
// double (computed apart from this code base). The first ones are products or quotients of an exact
// significand and an exact power of ten whose rounding to 64 bits and then to 53 misses the nearest
// double: x87 arithmetic reads them one unit in the last place off, so they fail wherever doubles
// are computed on the x87 unit instead of SSE2 and a text's bits would depend on the build.
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

namespace kiv::test {
namespace {

struct NumberBits {
    const char* text;
    std::uint64_t bits;
};

const NumberBits kNumberBits[] = {
    {"7164884235481089e-19", 0x3f477a572c6dd44d},
    {"5866509496134039e-11", 0x40eca52309ec5d6b},
    {"4597987627260087e12", 0x45adb6bb817424bd},
    {"7451485265893129e10", 0x454ed19120dd9833},
    {"6948022729932843e15", 0x4655ec916ca865ef},
    {"-3825702927713175e18", 0xc6e793e51b66225f},
    {"0.1", 0x3fb999999999999a},
    {"1e23", 0x44b52d02c7e14af6},
    {"9007199254740993.0", 0x4340000000000000},      // halfway between two doubles: ties to even
    {"2.2250738585072014e-308", 0x0010000000000000}, // the smallest normal
    {"4.9406564584124654e-324", 0x0000000000000001}, // the smallest subnormal
    {"8.98846567431158e307", 0x7fe0000000000000},
    {"1.7976931348623157e308", 0x7fefffffffffffff},
    {"-0.0", 0x8000000000000000},
};

TEST(JsonNumberBitsTest, HardDecimalsReadAsTheirNearestDouble) {
    for (const NumberBits& c : kNumberBits) {
        const ConversionResult result = parseJson(std::string("[") + c.text + "]");
        ASSERT_TRUE(result.ok()) << c.text << ": " << result.errorText();
        const Value& number = result.value()[0];
        ASSERT_EQ(number.kind(), ValueKind::Float) << c.text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(number.getFloat(0.0)), c.bits) << c.text;
    }
}

} // namespace
} // namespace kiv::test
