#include "value/byte_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace kiv {
namespace {

int sign(int n) {
    return (n > 0) - (n < 0);
}

// memcmp is the oracle: every length up to past the word paths, with the texts equal and with
// one byte changed at every position, up or down, including bytes with the high bit set.
TEST(ByteCompareTest, AgreesWithMemcmpAtEveryLengthAndPosition) {
    std::mt19937 random(7);
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int round = 0; round < 20; ++round) {
            std::string a(length, '\0');
            for (char& c : a) {
                c = static_cast<char>(random() % 4 == 0 ? 0x80 + random() % 0x80 : 'a' + random() % 4);
            }
            ASSERT_EQ(compareBytes(a.data(), a.data(), length), 0);
            for (std::size_t at = 0; at < length; ++at) {
                std::string b = a;
                b[at] = static_cast<char>(b[at] + (round % 2 ? 1 : -1));
                ASSERT_EQ(sign(compareBytes(a.data(), b.data(), length)),
                          sign(std::memcmp(a.data(), b.data(), length)))
                    << "length " << length << ", byte " << at;
                ASSERT_EQ(sign(compareBytes(b.data(), a.data(), length)),
                          sign(std::memcmp(b.data(), a.data(), length)));
            }
        }
    }
}

} // namespace
} // namespace kiv
