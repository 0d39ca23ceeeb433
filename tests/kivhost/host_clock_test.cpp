// Timers on the host's clocks: the virtual clock runs them in due order, equal due times in
// scheduling order, with each delay rounded to the nearest millisecond; the real clock runs them
// in the same order once their moment has come.
#include "case_name.h"
#include "fake_host.h"

#include "kivhost/core/host_journal.h"
#include "kivhost/core/timer_queue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kiv::test {
namespace {

using kivhost::HostOptions;

struct TimerCase {
    std::string name;
    std::string delays; // seconds, in scheduling order: the timers are named fake.t0, fake.t1, ...
    std::vector<std::int64_t> delaysMs;
    std::vector<std::string> fired; // in firing order, as "name@ms"
};

void PrintTo(const TimerCase& timerCase, std::ostream* out) {
    *out << timerCase.delays;
}

class VirtualClockTest : public testing::TestWithParam<TimerCase> {};

TEST_P(VirtualClockTest, TimersRunInDueOrderAndEqualDueTimesInSchedulingOrder) {
    FakeHost fake;
    fake.start();
    fake.host.runUntil(1000); // scheduled from t = 1000 ms
    fake.act("timers:" + GetParam().delays);
    fake.host.runUntil(1000 + 6000 * 1000);

    std::vector<std::int64_t> delaysMs;
    for (const kivhost::Happening& happening : happeningsOfType(fake.host, "timer")) {
        delaysMs.push_back(std::get<kivhost::TimerScheduled>(happening.detail).delayMs);
    }
    EXPECT_EQ(delaysMs, GetParam().delaysMs);
    std::vector<std::string> fired;
    for (const kivhost::Happening& happening : happeningsOfType(fake.host, "fire")) {
        fired.push_back(std::get<kivhost::TimerFired>(happening.detail).name + "@" +
                        std::to_string(happening.timeMs - 1000));
    }
    EXPECT_EQ(fired, GetParam().fired);
    // The plugin saw them in the same order.
    std::vector<std::string> seen;
    for (const std::string& name : fake.journalLines("fire ")) {
        seen.push_back(name.substr(5));
    }
    ASSERT_EQ(seen.size(), fired.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i] + "@", fired[i].substr(0, seen[i].size() + 1));
    }
    EXPECT_EQ(fake.host.nowMs(), 1000 + 6000 * 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, VirtualClockTest,
    testing::Values(
        TimerCase{"DueOrder", "2,1,1", {2000, 1000, 1000}, {"fake.t1@1000", "fake.t2@1000", "fake.t0@2000"}},
        // A real clock read twice leaves delays a few nanoseconds short or long of the moment meant.
        TimerCase{"NanosecondsApart",
                  "5400,5399.9999999987,5400.0000000004",
                  {5400000, 5400000, 5400000},
                  {"fake.t0@5400000", "fake.t1@5400000", "fake.t2@5400000"}},
        TimerCase{"HalfMilliseconds",
                  "0.0015,0.0014999,0.0005,0.0004999",
                  {2, 1, 1, 0},
                  {"fake.t3@0", "fake.t1@1", "fake.t2@1", "fake.t0@2"}},
        TimerCase{"NotPositive",
                  "0,-5,nan,-inf",
                  {0, 0, 0, 0},
                  {"fake.t0@0", "fake.t1@0", "fake.t2@0", "fake.t3@0"}},
        TimerCase{"BeyondTheClock",
                  "1e300,inf,3600.001,3600",
                  {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max(),
                   3600001, 3600000},
                  {"fake.t3@3600000", "fake.t2@3600001"}}),
    CaseName());

TEST(TimerRoundingTest, DelaysRoundToTheNearestMillisecondAndSaturate) {
    const struct {
        double seconds;
        std::int64_t ms;
    } cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {-1e-9, 0},
        {0.0004999999, 0},
        {0.0005, 1},
        {1.0, 1000},
        {9.2233720368547e15, 9223372036854700032},
        {9.3e15, std::numeric_limits<std::int64_t>::max()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int64_t>::max()},
        {std::nan(""), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kivhost::TimerQueue::roundDelayMs(c.seconds), c.ms) << c.seconds;
    }
}

TEST(TimerReplayTest, AReplayedTimerRunsAgainButNotAfterUnload) {
    FakeHost fake;
    const kivhost::PluginId id = fake.start();
    fake.act("timers:1,2,3");
    fake.host.runUntil(1500);
    const std::vector<kivhost::TimerRecord> history = fake.host.timerHistory();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_TRUE(history[0].fired);
    EXPECT_FALSE(history[1].fired);
    EXPECT_EQ(history[2].dueMs, 3000);

    fake.host.replayTimer(0);
    EXPECT_EQ(fake.journalLines("fire "), (std::vector<std::string>{"fire fake.t0", "fire fake.t0"}));
    fake.host.unload(id);
    EXPECT_EQ(fake.host.pendingTimers(), 0u);
    // The plugin dropped its timer tokens at unload: the late calls find nothing and do nothing.
    fake.host.replayTimer(1);
    fake.host.replayTimer(0);
    EXPECT_THROW(fake.host.replayTimer(3), kivhost::HostError);
    fake.host.runUntil(10000);
    EXPECT_EQ(happeningsOfType(fake.host, "fire").size(), 4u);
}

// The real clock moves on while the plugin sets its timers (by milliseconds on a busy machine), so
// the moments are read back rather than assumed: each is its delay after a moment within the
// setting, the timers run by moment, equal moments in the order they were set, and the clock has
// reached the last moment when they have all run.
TEST(RealClockTest, TimersRunOnceTheirMomentHasComeInDueOrder) {
    FakeHost fake(HostOptions{{}, kivhost::ClockKind::Real});
    fake.start();
    const std::int64_t settingStarts = fake.host.nowMs();
    fake.act("timers:0.004,0.002,0.002,0");
    const std::int64_t settingEnds = fake.host.nowMs();
    std::vector<kivhost::TimerRecord> timers = fake.host.timerHistory();
    ASSERT_EQ(timers.size(), 4u);
    const std::int64_t delaysMs[] = {4, 2, 2, 0};
    std::int64_t previousSetting = settingStarts;
    for (std::size_t i = 0; i < timers.size(); ++i) {
        const std::int64_t setting = timers[i].dueMs - delaysMs[i];
        EXPECT_GE(setting, previousSetting) << timers[i].name;
        EXPECT_LE(setting, settingEnds) << timers[i].name;
        previousSetting = setting;
    }
    std::ranges::stable_sort(timers, {}, &kivhost::TimerRecord::dueMs);
    std::vector<std::string> dueOrder;
    for (const kivhost::TimerRecord& timer : timers) {
        dueOrder.push_back("fire " + timer.name);
    }
    fake.host.runUntil(timers.back().dueMs);
    EXPECT_EQ(fake.journalLines("fire "), dueOrder);
    EXPECT_GE(fake.host.nowMs(), timers.back().dueMs);
}

// `kivhost run` writes each line as it happens; its host keeps none, so a long timeline (100,000
// queues closing, each with the whole list) does not grow its memory.
TEST(HostJournalTest, AHostThatOnlyListensKeepsNothingButCountsFaults) {
    const kivhost::HostClock clock(kivhost::ClockKind::Virtual);
    kivhost::HostJournal journal(clock, false);
    std::vector<std::string> heard;
    journal.setListener([&](const kivhost::Happening& happening) {
        heard.push_back(std::get<kivhost::HostFault>(happening.detail).text);
    });
    journal.record("p", kivhost::HostFault{"one"});
    journal.record("p", kivhost::HostFault{"two"});
    EXPECT_EQ(heard, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(journal.all().empty());
    EXPECT_EQ(journal.faults(), 2u);
}

} // namespace
} // namespace kiv::test
