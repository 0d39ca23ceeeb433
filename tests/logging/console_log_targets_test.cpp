#include "log_service_fixture.h"

#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_service_api.h"
#include "platform/thread_id.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kiv {
namespace {

using ConsoleLogTargetTest = test::LogServiceFixture;

std::string consolePrefix() {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%s(%08X): ", KIV_TEST_EXECUTABLE_NAME,
                  static_cast<unsigned>(platform::currentThreadId()));
    return prefix;
}

TEST_F(ConsoleLogTargetTest, StdErrPrintsGroupDbgAndDropsGroupGen) {
    ::testing::internal::CaptureStderr();
    LogMessage(LogLevel::Warn, kLogGroupDbg, "debug %d", 1);
    LogMessage(LogLevel::Warn, kLogGroupGen, "general %d", 2);
    LogMessage(LogLevel::Error, 0, "no group %d", 3);
    LogMessage(LogLevel::Always, 0, "no group %d", 4);
    const std::string prefix = consolePrefix();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), prefix + "  WARN| debug 1\n" + prefix +
                                                            " ERROR| no group 3\n" + prefix +
                                                            "ALWAYS| no group 4\n");
}

TEST_F(ConsoleLogTargetTest, StdErrDropsLevelsBelowWarn) {
    withService([](LogService& service) { service.setMinimumLevel(LogLevel::Okay); });
    ::testing::internal::CaptureStderr();
    LogMessage(LogLevel::Okay, kLogGroupDbg, "okay");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ConsoleLogTargetTest, StdOutIsNotAttachedUntilAsked) {
    LogTargetInterface* stdOut = logServiceApi().stdOutTarget();
    EXPECT_FALSE(stdOut->isAttached(stdOut));
    ::testing::internal::CaptureStdout();
    LogMessage(LogLevel::Warn, kLogGroupGen, "before");
    stdOut->attach(stdOut);
    LogMessage(LogLevel::Warn, kLogGroupGen, "general");
    LogMessage(LogLevel::Warn, kLogGroupDbg, "debug");
    withService([](LogService& service) { service.stdOutTarget().flush(); });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "general\n");
}

TEST_F(ConsoleLogTargetTest, StdOutCanFlushEachLine) {
    withService([](LogService& service) {
        service.stdOutTarget().setFlushEachLine(true);
        service.stdOutTarget().attach();
    });
    ::testing::internal::CaptureStdout();
    LogMessage(LogLevel::Warn, 0, "flushed");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "flushed\n");
}

struct BuiltInCase {
    decltype(LogServiceApi::stdErrTarget) target;
    const char* name;
    std::uint64_t required;
    std::uint64_t muted;
    const char* lineTemplate;
    bool attached;
};

class BuiltInTargetTest : public test::LogServiceFixture,
                          public ::testing::WithParamInterface<BuiltInCase> {};

TEST_P(BuiltInTargetTest, ConfiguredAtCreation) {
    const BuiltInCase& c = GetParam();
    LogTargetInterface* target = c.target();
    ASSERT_NE(target, nullptr);
    EXPECT_STREQ(target->name(target), c.name);
    EXPECT_EQ(target->minimumLevel(target), LogLevel::Warn);
    EXPECT_EQ(target->requiredGroups(target), c.required);
    EXPECT_EQ(target->mutedGroups(target), c.muted);
    EXPECT_STREQ(target->templateFor(target, nullptr), c.lineTemplate);
    EXPECT_EQ(target->isAttached(target), c.attached);
    EXPECT_EQ(logServiceApi().findTarget(c.name) == target, c.attached);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, BuiltInTargetTest,
    ::testing::Values(BuiltInCase{logServiceApi().stdErrTarget, "StdErrLogTarget", 1, 2, "#E(#T): #L| #M",
                                  true},
                      BuiltInCase{logServiceApi().stdOutTarget, "StdOutLogTarget", 2, 1, "#M", false},
                      BuiltInCase{logServiceApi().debuggerTarget, "DebuggerConsoleLogTarget", 1, 0,
                                  "#E(#T): #L| #M", true}));

} // namespace
} // namespace kiv
