// Jobs run through the host's timer: the delays handed over, the job table, and the tokens that
// keep a late or repeated timer from reaching a plugin that is gone.
#include "host/job_time.h"
#include "loaded_plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kiv::test {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

constexpr double kLongestDelay = static_cast<double>(kMax) * 1e-9;

struct DelayAfterCase {
    double seconds;
    double delay;
};

class DelaysAfter : public ::testing::TestWithParam<DelayAfterCase> {};

TEST_P(DelaysAfter, AreNonNegativeAndWithinTheClocksRange) {
    EXPECT_DOUBLE_EQ(delayAfter(GetParam().seconds), GetParam().delay);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, DelaysAfter,
    ::testing::Values(DelayAfterCase{0.0, 0.0}, DelayAfterCase{1.5, 1.5}, DelayAfterCase{-2.0, 0.0},
                      // 9e18 minutes, as an empty queue list yields for the disable-all job.
                      DelayAfterCase{9e18 * 60.0, kLongestDelay}, DelayAfterCase{-9e18 * 60.0, 0.0},
                      DelayAfterCase{kInfinity, kLongestDelay}, DelayAfterCase{-kInfinity, 0.0},
                      DelayAfterCase{kNaN, 0.0},
                      // Just below 2^63 nanoseconds still fits.
                      DelayAfterCase{9.2e9, 9.2e9}));

struct DelayCase {
    std::int64_t due;
    std::int64_t now;
    double delay;
};

class DelaysHandedOver : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DelaysHandedOver, AreNonNegativeSeconds) {
    EXPECT_DOUBLE_EQ(delayUntil(GetParam().due, GetParam().now), GetParam().delay);
}

INSTANTIATE_TEST_SUITE_P(Moments, DelaysHandedOver,
                         ::testing::Values(DelayCase{3'000'000'000, 1'000'000'000, 2.0},
                                           DelayCase{1000, 1000, 0.0}, DelayCase{0, 1000, 0.0},
                                           DelayCase{kMin, 1'000'000'000, 0.0},
                                           DelayCase{kMax, -1'000'000'000, static_cast<double>(kMax) * 1e-9},
                                           DelayCase{kMax, 0, static_cast<double>(kMax) * 1e-9}));

TEST(TraceSeconds, TruncateAndClampToThirtyTwoBits) {
    EXPECT_EQ(wholeSecondsForTrace(90.9), 90);
    EXPECT_EQ(wholeSecondsForTrace(-90.9), -90);
    EXPECT_EQ(wholeSecondsForTrace(1e18), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(wholeSecondsForTrace(-1e18), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(wholeSecondsForTrace(kNaN), 0);
}

class Jobs : public ::testing::Test {
  protected:
    FakeHost host;
    LoadedPlugin loaded{host};
    const PluginEntry entry = loaded.enter(); // the test calls the plugin's parts directly
    ProbePlugin& plugin = loaded.plugin();
};

TEST_F(Jobs, HandTheHostNameCallbackTokenDelayAndZero) {
    plugin.jobs().schedule("kiv-probe.cut-off", 3600.0, [] {});
    ASSERT_EQ(host.timers.size(), 1u);
    const HostTimer& timer = host.timers[0];
    EXPECT_EQ(timer.name, "kiv-probe.cut-off");
    EXPECT_NE(timer.callback, nullptr);
    EXPECT_NE(timer.userData, nullptr);
    // The due time is fixed before the hand-over, so the delay can only be a little shorter.
    EXPECT_LE(timer.delaySeconds, 3600.0);
    EXPECT_GT(timer.delaySeconds, 3599.0);
    EXPECT_EQ(timer.reserved, 0u);
}

TEST_F(Jobs, NamesOfEveryLengthReachTheHostWhole) {
    // Names up to 63 characters are terminated on the stack, longer ones on the heap.
    const std::vector<std::string> names{std::string(62, 'a'), std::string(63, 'b'), std::string(64, 'c'),
                                         std::string(300, 'd'), std::string()};
    for (const std::string& name : names) {
        plugin.jobs().schedule(name, 1.0, [] {});
    }
    ASSERT_EQ(host.timers.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(host.timers[i].name, names[i]);
    }
}

TEST_F(Jobs, DelaysThatAreNotPositiveAreHandedOverAsZero) {
    for (double seconds : {0.0, -1.0, -9e18 * 60.0, kNaN}) {
        plugin.jobs().schedule("kiv-probe.now", seconds, [] {});
    }
    ASSERT_EQ(host.timers.size(), 4u);
    for (const HostTimer& timer : host.timers) {
        EXPECT_EQ(timer.delaySeconds, 0.0);
    }
}

TEST_F(Jobs, FarFutureDelaysSaturate) {
    plugin.jobs().schedule("kiv-probe.disable-all-queues", 9e18 * 60.0, [] {});
    ASSERT_EQ(host.timers.size(), 1u);
    EXPECT_TRUE(std::isfinite(host.timers[0].delaySeconds));
    EXPECT_GT(host.timers[0].delaySeconds, 9e9);
}

TEST_F(Jobs, IdsCountFromOneAndSameNamesMakeSeparateJobs) {
    std::vector<int> ran;
    plugin.jobs().schedule("kiv-probe.same", 10.0, [&] { ran.push_back(1); });
    plugin.jobs().schedule("kiv-probe.same", 10.0, [&] { ran.push_back(2); });
    ASSERT_EQ(host.timers.size(), 2u);
    EXPECT_NE(host.timers[0].userData, host.timers[1].userData);
    EXPECT_EQ(plugin.jobs().pendingCount(), 2u);

    FakeHost::fire(host.timers[1]);
    EXPECT_EQ(ran, std::vector<int>{2});
    EXPECT_EQ(plugin.jobs().pendingCount(), 1u);
    FakeHost::fire(host.timers[1]); // gone: the second firing finds nothing
    EXPECT_EQ(ran, std::vector<int>{2});
    FakeHost::fire(host.timers[0]);
    EXPECT_EQ(ran, (std::vector<int>{2, 1}));
    EXPECT_EQ(plugin.jobs().pendingCount(), 0u);
}

TEST_F(Jobs, AJobMayScheduleFurtherJobs) {
    int runs = 0;
    plugin.jobs().schedule("kiv-probe.first", 0.0, [&] {
        ++runs;
        plugin.jobs().schedule("kiv-probe.second", 0.0, [&] { ++runs; });
    });
    FakeHost::fire(host.timers.at(0));
    ASSERT_EQ(host.timers.size(), 2u);
    FakeHost::fire(host.timers.at(1));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(plugin.jobs().pendingCount(), 0u);
}

TEST_F(Jobs, UnknownTokensLeadNowhere) {
    int runs = 0;
    plugin.jobs().schedule("kiv-probe.job", 1.0, [&] { ++runs; });
    const HostTimer forged{"forged", host.timers.at(0).callback,
                           reinterpret_cast<void*>(std::uintptr_t{0xDEAD0000}), 0.0, 0};
    FakeHost::fire(forged);
    const HostTimer null{"null", host.timers.at(0).callback, nullptr, 0.0, 0};
    FakeHost::fire(null);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(plugin.jobs().pendingCount(), 1u);
}

TEST(JobsAfterUnload, TokensAreNotReusedByTheNextPlugin) {
    FakeHost host;
    int firstRuns = 0;
    int secondRuns = 0;
    {
        LoadedPlugin first(host);
        const PluginEntry entry = first.enter();
        first.plugin().jobs().schedule("kiv-probe.first", 5.0, [&] { ++firstRuns; });
    }
    LoadedPlugin second(host);
    {
        const PluginEntry entry = second.enter();
        second.plugin().jobs().schedule("kiv-probe.second", 5.0, [&] { ++secondRuns; });
    }
    ASSERT_EQ(host.timers.size(), 2u);
    EXPECT_NE(host.timers[0].userData, host.timers[1].userData);
    FakeHost::fire(host.timers[0]);
    EXPECT_EQ(secondRuns, 0);
    FakeHost::fire(host.timers[1]);
    EXPECT_EQ(secondRuns, 1);
    EXPECT_EQ(firstRuns, 0);
}

} // namespace

} // namespace kiv::test
