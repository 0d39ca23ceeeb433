#include "logging/etw_providers.h"
#include "logging/etw_trace_context.h"
#include "platform/event_tracing.h"

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
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        EXPECT_EQ(context.isGroupEnabled(i), c.bits[i]) << "group " << i;
    }
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
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        EXPECT_FALSE(context.isGroupEnabled(i));
    }
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

// Registration follows what the system offers: every provider where the tracing functions exist
// (Windows, wine included), none elsewhere. No session listens here, so no provider is enabled.
TEST(EtwProviders, RegisterEveryProviderWhereTracingExistsAndUnregisterThemAll) {
    const bool tracing = platform::openEventTracing();
    registerEtwProviders();
    for (std::size_t i = 0; i < kEtwProviderCount; ++i) {
        EXPECT_EQ(isEtwProviderRegistered(i), tracing) << "provider " << i;
        EXPECT_FALSE(etwTraceContext(i).isEnabled());
    }
    EXPECT_EQ(writeThreadNameEvent(1, "Main thread"), tracing);
    EXPECT_EQ(writeThreadNameEvent(1, nullptr), tracing);
    unregisterEtwProviders();
    for (std::size_t i = 0; i < kEtwProviderCount; ++i) {
        EXPECT_FALSE(isEtwProviderRegistered(i)) << "provider " << i;
    }
    EXPECT_FALSE(writeThreadNameEvent(1, "Main thread"));
}

// A library without the tracing functions (the kernel's own) stands for a system without them.
TEST(EventTracing, WithoutTheTracingFunctionsNothingIsRegisteredOrWritten) {
    EXPECT_FALSE(platform::openEventTracingFrom(L"kernel32.dll"));
    const platform::EventProviderRegistration registration{{1, 2, 3, {4}}, nullptr, nullptr};
    EXPECT_EQ(platform::registerEventProvider(registration), 0u);
    EXPECT_FALSE(platform::writeEvent(1, {}, nullptr, 0));
    platform::unregisterEventProvider(1);
    platform::openEventTracing();
}

} // namespace
} // namespace kiv
