#include "logging/etw_providers.h"
#include "logging/etw_trace_context.h"

#include <gtest/gtest.h>

#include <vector>

namespace kiv {
namespace {

constexpr EtwEventGroup kGroups[] = {{0x1, 0}, {0x2, 0}, {0x0, 0}, {0x4, 3}, {0x3, 0}};

struct EnableCase {
    const char* name;
    std::uint8_t level;
    std::uint64_t matchAny;
    std::uint64_t matchAll;
    std::vector<bool> bits; // one per group of kGroups
};

class EtwEnableTest : public ::testing::TestWithParam<EnableCase> {};

TEST_P(EtwEnableTest, GroupBitsFollowLevelAndKeywords) {
    const EnableCase& c = GetParam();
    EtwTraceContext context(kGroups);
    context.control(kEtwControlEnable, c.level, c.matchAny, c.matchAll);
    EXPECT_TRUE(context.isEnabled());
    EXPECT_EQ(context.level(), c.level);
    EXPECT_EQ(context.matchAnyKeyword(), c.matchAny);
    EXPECT_EQ(context.matchAllKeyword(), c.matchAll);
    for (std::size_t i = 0; i < std::size(kGroups); ++i)
        EXPECT_EQ(context.isGroupEnabled(i), c.bits[i]) << "group " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, EtwEnableTest,
    ::testing::Values(
        EnableCase{"AllKeywords", 0, ~std::uint64_t{0}, 0, {true, true, true, true, true}},
        EnableCase{"NoKeywords", 0, 0, 0, {false, false, true, false, false}},
        EnableCase{"FirstKeyword", 0, 0x1, 0, {true, false, true, false, true}},
        EnableCase{"LevelBelowGroup", 2, ~std::uint64_t{0}, 0, {true, true, true, false, true}},
        EnableCase{"LevelAtGroup", 3, ~std::uint64_t{0}, 0, {true, true, true, true, true}},
        EnableCase{"MatchAllNeedsEveryBit", 0, ~std::uint64_t{0}, 0x3, {false, false, true, false, true}},
        EnableCase{"MatchAllSingleBit", 0, 0x1, 0x1, {true, false, true, false, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EtwTraceContext, DisableClearsEverything) {
    EtwTraceContext context(kGroups);
    context.control(kEtwControlEnable, 5, 0xFF, 0x1);
    context.control(kEtwControlDisable, 5, 0xFF, 0x1);
    EXPECT_FALSE(context.isEnabled());
    EXPECT_EQ(context.level(), 0);
    EXPECT_EQ(context.matchAnyKeyword(), 0u);
    EXPECT_EQ(context.matchAllKeyword(), 0u);
    for (std::size_t i = 0; i < std::size(kGroups); ++i)
        EXPECT_FALSE(context.isGroupEnabled(i));
}

TEST(EtwTraceContext, OtherControlCodesChangeNothing) {
    EtwTraceContext context(kGroups);
    context.control(kEtwControlEnable, 0, 0x1, 0);
    context.control(2, 7, 0, 0); // capture state
    EXPECT_TRUE(context.isEnabled());
    EXPECT_EQ(context.matchAnyKeyword(), 0x1u);
    EXPECT_TRUE(context.isGroupEnabled(0));
    EXPECT_FALSE(context.isGroupEnabled(1));
    EXPECT_FALSE(context.isGroupEnabled(99));
}

TEST(EtwProviders, WithoutEventTracingNothingIsRegisteredOrWritten) {
    registerEtwProviders();
    for (std::size_t i = 0; i < kEtwProviderCount; ++i) {
        EXPECT_FALSE(isEtwProviderRegistered(i));
        EXPECT_FALSE(etwTraceContext(i).isEnabled());
    }
    EXPECT_FALSE(writeThreadNameEvent(1, "Main thread"));
    EXPECT_FALSE(writeThreadNameEvent(1, nullptr));
    unregisterEtwProviders();
}

} // namespace
} // namespace kiv
