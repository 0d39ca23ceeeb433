// Minutes as typed on the command line and in the clock's URL.
#include "kivhost/scenario/minutes.h"

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

TEST(MinutesTest, WholeDecimalNumbersWithinTheRangeOnly) {
    const struct {
        const char* text;
        std::optional<std::int64_t> ms;
    } cases[] = {
        {"0", 0},
        {"1", 60000},
        {"1.5", 90000},
        {"0.0001", 6},
        {"1000000000", 60000000000000},
        {"1000000000.5", std::nullopt},
        {"1e12", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {" 10", std::nullopt},
        {"+10", std::nullopt},
        {".5", std::nullopt},
        {"5.", std::nullopt},
        {"1.2.3", std::nullopt},
        {"-1", std::nullopt},
        {"-0.5", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"", std::nullopt},
        {"10 ", std::nullopt},
        {"10min", std::nullopt},
        {"abc", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kivhost::parseMinutesMs(c.text), c.ms) << "'" << c.text << "'";
    }
    EXPECT_EQ(kivhost::parseMinutesMs(std::string_view("12", 1)), 60000)
        << "a view is read within its length";
}

} // namespace
} // namespace kiv::test
