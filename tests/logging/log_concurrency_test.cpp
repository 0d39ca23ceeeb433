#include "log_service_fixture.h"
#include "recording_log_target.h"

#include "logging/log_message.h"
#include "logging/log_service_api.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace kiv {
namespace {

using test::RecordingLogTarget;

using LogConcurrencyTest = test::LogServiceFixture;

// Four threads log while a fifth keeps reconfiguring targets, the one they all write to among
// them. Configuration takes the service lock before a target's lock, as logging does, so this must
// neither deadlock nor lose a line of the target that stays attached throughout.
TEST_F(LogConcurrencyTest, LoggingWhileTargetsAreReconfigured) {
    constexpr int kLoggers = 4;
    constexpr int kMessagesPerLogger = 2000;
    constexpr int kReconfigurations = 2000;

    detachBuiltInTargets();
    const LogTargetSettings everything{LogLevel::Okay, 0, 0, "#L| #G| #M"};
    RecordingLogTarget steady("steady");
    RecordingLogTarget toggled("toggled");
    steady.applySettings(everything);

    std::vector<std::thread> threads;
    for (int logger = 0; logger < kLoggers; ++logger) {
        threads.emplace_back([logger] {
            for (int i = 0; i < kMessagesPerLogger; ++i) {
                LogMessage(LogLevel::Warn, 1, "logger %d message %d", logger, i);
            }
        });
    }
    threads.emplace_back([&] {
        const LogServiceApi& api = logServiceApi();
        LogTargetInterface* stdOut = api.stdOutTarget();
        for (int i = 0; i < kReconfigurations; ++i) {
            steady.applySettings(everything);
            toggled.applySettings({LogLevel::Okay, std::uint64_t{1} << (i % 2), 0, "#M"});
            toggled.setMinimumLevel(i % 3 == 0 ? LogLevel::Error : LogLevel::Okay);
            toggled.detach();
            api.attachTarget(toggled.logInterface());
            api.detachTarget(toggled.logInterface());
            stdOut->setGroups(stdOut, 0, 0, ~0u, ~0u); // attached yet muted: it prints nothing
            stdOut->attach(stdOut);
            stdOut->detach(stdOut);
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }

    const auto lines = steady.lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLoggers * kMessagesPerLogger));
    std::vector<int> nextMessage(kLoggers, 0);
    for (const auto& line : lines) {
        int logger = -1;
        int message = -1;
        ASSERT_EQ(std::sscanf(line.text.c_str(), "logger %d message %d", &logger, &message), 2) << line.text;
        ASSERT_TRUE(logger >= 0 && logger < kLoggers);
        EXPECT_EQ(message, nextMessage[logger]++) << "each thread's lines arrive in order";
        EXPECT_EQ(line.line, "  WARN| DBG| " + line.text + "\n");
    }
    EXPECT_LE(toggled.lines().size(), lines.size());
}

} // namespace
} // namespace kiv
