#include "log_service_fixture.h"
#include "recording_log_target.h"

#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv {
namespace {

using test::RecordingLogTarget;

class LogServiceTest : public test::LogServiceFixture {
  protected:
    void SetUp() override {
        LogServiceFixture::SetUp();
        detachBuiltInTargets();
        recorder.applySettings({LogLevel::Okay, 0, 0, "#M"});
    }

    RecordingLogTarget recorder;
};

TEST_F(LogServiceTest, DefaultsDropLevelZeroAndGroupXtr) {
    LogMessage(LogLevel::Okay, 0, "okay");
    LogMessage(LogLevel::Warn, kLogGroupXtr, "extra");
    LogMessage(LogLevel::Warn, kLogGroupXtr | kLogGroupGen, "extra and general");
    LogMessage(LogLevel::Warn, kLogGroupGen, "general");
    LogMessage(LogLevel::Warn, 0, "no group");
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"general", "no group"}));
}

TEST_F(LogServiceTest, MinimumLevelComparesSigned) {
    recorder.setMinimumLevel(static_cast<LogLevel>(-100));
    withService([](LogService& service) { service.setMinimumLevel(static_cast<LogLevel>(-2)); });
    LogMessage(static_cast<LogLevel>(-3), 0, "below");
    LogMessage(static_cast<LogLevel>(-1), 0, "above");
    withService([](LogService& service) { service.setMinimumLevel(LogLevel::Error); });
    LogMessage(LogLevel::Warn, 0, "warning");
    LogMessage(LogLevel::Always, 0, "always");
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"above", "always"}));
}

TEST_F(LogServiceTest, PausedServiceDropsEverything) {
    withService([](LogService& service) { service.setPaused(true); });
    LogMessage(LogLevel::Always, 0, "paused");
    withService([](LogService& service) { service.setPaused(false); });
    LogMessage(LogLevel::Always, 0, "resumed");
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"resumed"}));
}

TEST_F(LogServiceTest, MutedGroupsUseTheWholeMask) {
    withService([](LogService& service) { service.setMutedGroups(std::uint64_t{1} << 40); });
    LogMessage(LogLevel::Warn, std::uint64_t{1} << 40, "muted high group");
    LogMessage(LogLevel::Warn, kLogGroupXtr, "extra, no longer muted");
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"extra, no longer muted"}));
}

TEST_F(LogServiceTest, RecordCarriesLevelGroupsAndFormattedText) {
    LogMessage(LogLevel::Always, (std::uint64_t{0x10} << 32) | 1,
               "KR Law Shutdown Enabled with the cut-off minutes: %lld", 1234567890123LL);
    const auto lines = recorder.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, LogLevel::Always);
    EXPECT_EQ(lines[0].groups, (std::uint64_t{0x10} << 32) | 1);
    EXPECT_EQ(lines[0].text, "KR Law Shutdown Enabled with the cut-off minutes: 1234567890123");
}

TEST_F(LogServiceTest, LongMessageReachesTargetsCutTo4095) {
    const std::string text(5000, 'm');
    LogMessage(LogLevel::Warn, 0, "%s", text.c_str());
    const auto texts = recorder.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], text.substr(0, 4095));
}

TEST_F(LogServiceTest, NullFormatLogsAnEmptyText) {
    LogMessage(LogLevel::Warn, 0, nullptr);
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{""}));
}

struct TargetFilterCase {
    LogLevel targetLevel;
    std::uint64_t required;
    std::uint64_t muted;
    LogLevel level;
    std::uint64_t groups;
    bool delivered;
};

class TargetFilterTest : public LogServiceTest, public ::testing::WithParamInterface<TargetFilterCase> {};

TEST_P(TargetFilterTest, ServiceAppliesTargetFilters) {
    const TargetFilterCase& c = GetParam();
    withService([](LogService& service) {
        service.setMinimumLevel(LogLevel::Okay);
        service.setMutedGroups(0);
    });
    recorder.applySettings({c.targetLevel, c.required, c.muted, "#M"});
    LogMessage(c.level, c.groups, "record");
    EXPECT_EQ(recorder.texts().size(), c.delivered ? 1u : 0u);
}

constexpr std::uint64_t kDbg = kLogGroupDbg;
constexpr std::uint64_t kGen = kLogGroupGen;

INSTANTIATE_TEST_SUITE_P(
    Filters, TargetFilterTest,
    ::testing::Values(TargetFilterCase{LogLevel::Warn, 0, 0, LogLevel::Okay, 0, false},
                      TargetFilterCase{LogLevel::Warn, 0, 0, LogLevel::Error, 0, true},
                      TargetFilterCase{LogLevel::Okay, 0, kGen, LogLevel::Okay, kGen | kDbg, false},
                      TargetFilterCase{LogLevel::Okay, kDbg, 0, LogLevel::Okay, kGen, false},
                      TargetFilterCase{LogLevel::Okay, kDbg, 0, LogLevel::Okay, kGen | kDbg, true},
                      TargetFilterCase{LogLevel::Okay, kDbg, kGen, LogLevel::Okay, 0, true},
                      TargetFilterCase{LogLevel::Okay, 0, ~std::uint64_t{0}, LogLevel::Okay, 0, true},
                      TargetFilterCase{LogLevel::Okay, std::uint64_t{1} << 50, 0, LogLevel::Okay,
                                       std::uint64_t{1} << 50, true}));

TEST_F(LogServiceTest, LastReleaseDestroysTheServiceAndTheNextUseStartsFromDefaults) {
    withService([](LogService& service) {
        service.setMinimumLevel(LogLevel::Okay);
        service.setPaused(true);
    });
    LogService::release();
    {
        std::lock_guard lock(LogService::lock());
        EXPECT_EQ(LogService::current(), nullptr);
    }
    EXPECT_FALSE(recorder.isAttached());
    LogService::acquire(); // given back by the fixture
    withService([](LogService& service) {
        EXPECT_EQ(service.minimumLevel(), LogLevel::Warn);
        EXPECT_FALSE(service.paused());
        EXPECT_EQ(service.mutedGroups(), kLogGroupXtr);
    });
    LogMessage(LogLevel::Warn, 0, "after");
    EXPECT_TRUE(recorder.texts().empty());
}

TEST_F(LogServiceTest, ReleaseWithoutAcquireIsIgnored) {
    LogService::release();
    LogService::release();              // no service
    LogMessage(LogLevel::Warn, 0, "x"); // creates one without a user
    LogService::release();              // no user to give back
    {
        std::lock_guard lock(LogService::lock());
        EXPECT_NE(LogService::current(), nullptr);
    }
    LogService::acquire();
}

TEST_F(LogServiceTest, FindTargetByName) {
    RecordingLogTarget other("PluginLogTarget");
    EXPECT_EQ(withService([](LogService& service) { return service.findTarget("PluginLogTarget"); }),
              nullptr);
    other.attach();
    withService([&](LogService& service) {
        EXPECT_EQ(service.findTarget("PluginLogTarget"), other.logInterface());
        EXPECT_EQ(service.findTarget("RecordingLogTarget"), recorder.logInterface());
        EXPECT_EQ(service.findTarget("PluginLogTarge"), nullptr);
        EXPECT_EQ(service.findTarget(nullptr), nullptr);
        EXPECT_EQ(service.findTarget("StdErrLogTarget"), nullptr) << "detached by the fixture";
    });
}

// A target that detaches itself the first time it writes.
class SelfDetachingTarget final : public LogTarget {
  public:
    ~SelfDetachingTarget() override { detach(); }
    bool write(const LogRecord&) noexcept override {
        ++writes;
        detach();
        return true;
    }
    int writes = 0;
};

TEST_F(LogServiceTest, TargetMayDetachItselfWhileWriting) {
    SelfDetachingTarget first;
    first.attach();
    RecordingLogTarget last("last");
    last.applySettings({LogLevel::Okay, 0, 0, "#M"});
    LogMessage(LogLevel::Warn, 0, "one");
    LogMessage(LogLevel::Warn, 0, "two");
    EXPECT_EQ(first.writes, 1);
    EXPECT_EQ(recorder.texts().size(), 2u);
    EXPECT_EQ(last.texts().size(), 2u) << "the entry after a removed one is not skipped";
}

} // namespace
} // namespace kiv
