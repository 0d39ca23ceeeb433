#include "log_service_fixture.h"
#include "recording_log_target.h"

#include "logging/log_service_api.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace kiv {
namespace {

using test::RecordingLogTarget;

void logThroughTable(const LogServiceApi& api, LogLevel level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    api.log(level, 0, 0, format, arguments);
    va_end(arguments);
}

class LogServiceApiTest : public test::LogServiceFixture {
  protected:
    const LogServiceApi& api = logServiceApi();
};

TEST_F(LogServiceApiTest, SettingsRoundTrip) {
    EXPECT_EQ(api.version(), 1);
    EXPECT_EQ(api.minimumLevel(), LogLevel::Warn);
    api.setMinimumLevel(LogLevel::Okay);
    EXPECT_EQ(api.minimumLevel(), LogLevel::Okay);
    EXPECT_EQ(api.mutedGroups(), 4u);
    api.setMutedGroups(0x11, 0x22);
    EXPECT_EQ(api.mutedGroups(), 0x0000002200000011u);
}

TEST_F(LogServiceApiTest, SwitchesAreStored) {
    const auto switches = [] {
        return withService(
            [](LogService& service) { return std::pair(service.paused(), service.secondSwitch()); });
    };
    EXPECT_EQ(switches(), std::pair(false, false));
    api.pause();
    api.setSecondSwitch();
    EXPECT_EQ(switches(), std::pair(true, true));
    api.resume();
    api.clearSecondSwitch();
    EXPECT_EQ(switches(), std::pair(false, false));
}

TEST_F(LogServiceApiTest, BuiltInTargetsAreTheServicesOwn) {
    withService([&](LogService& service) {
        EXPECT_EQ(api.stdOutTarget(), service.stdOutTarget().logInterface());
        EXPECT_EQ(api.stdErrTarget(), service.stdErrTarget().logInterface());
        EXPECT_EQ(api.debuggerTarget(), service.debuggerTarget().logInterface());
    });
}

TEST_F(LogServiceApiTest, AttachAppendsAndDetachRemovesEveryOccurrence) {
    RecordingLogTarget recorder;
    recorder.configure({LogLevel::Okay, 0, 0, "#M"});
    api.attachTarget(recorder.logInterface());
    api.attachTarget(recorder.logInterface());
    EXPECT_EQ(api.findTarget("RecordingLogTarget"), recorder.logInterface());
    logThroughTable(api, LogLevel::Warn, "twice");
    api.detachTarget(recorder.logInterface());
    EXPECT_EQ(api.findTarget("RecordingLogTarget"), nullptr);
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"twice", "twice"}));
}

TEST_F(LogServiceApiTest, LogTakesAnArgumentList) {
    RecordingLogTarget recorder;
    recorder.applySettings({LogLevel::Okay, 0, 0, "#M"});
    logThroughTable(api, LogLevel::Warn, "%s=%d", "answer", 42);
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"answer=42"}));
}

TEST_F(LogServiceApiTest, TextHelpers) {
    char text[64];
    api.formatGroups(text, sizeof text, 5, 0);
    EXPECT_STREQ(text, "DBG;XTR");
    EXPECT_EQ(api.registerLogGroup("GEN"), 2u);
    EXPECT_STREQ(api.levelLabel(LogLevel::Error), " ERROR");
    EXPECT_STREQ(api.moduleName(), KIV_TEST_EXECUTABLE_NAME);
    EXPECT_EQ(api.formatLogLine(text, sizeof text, "[#M]", nullptr), 3u);
    EXPECT_STREQ(text, "[]\n");

    const platform::LocalTime time{2001, 2, 3, 4, 5, 6, 789};
    api.formatDisplayTime(text, sizeof text, &time);
    EXPECT_STREQ(text, "2001-02-03T04:05:06.789");
    api.formatFileNameTime(text, sizeof text, &time);
    EXPECT_STREQ(text, "2001-02-03T04-05-06");
}

TEST_F(LogServiceApiTest, LocalTimeIsFilled) {
    platform::LocalTime time;
    api.localTime(&time);
    EXPECT_GE(time.year, 2020);
    EXPECT_TRUE(time.month >= 1 && time.month <= 12);
    EXPECT_TRUE(time.day >= 1 && time.day <= 31);
    EXPECT_TRUE(time.millisecond >= 0 && time.millisecond <= 999);
    api.localTime(nullptr);
}

// A target as another module would provide it: only a function table, and a record of the
// detach calls it receives.
struct ForeignTarget {
    LogTargetInterface table;
    int id;
};

std::vector<int> detachCalls;

ForeignTarget* foreign(LogTargetInterface* self) {
    return reinterpret_cast<ForeignTarget*>(self);
}

LogTargetInterface foreignTable() {
    LogTargetInterface table{};
    table.version = [](LogTargetInterface*) -> std::int32_t { return 1; };
    table.minimumLevel = [](LogTargetInterface*) { return LogLevel::Okay; };
    table.requiredGroups = [](LogTargetInterface*) -> std::uint64_t { return 0; };
    table.mutedGroups = [](LogTargetInterface*) -> std::uint64_t { return 0; };
    table.name = [](LogTargetInterface*) { return "ForeignTarget"; };
    table.write = [](LogTargetInterface*, const LogRecord*) { return true; };
    table.detach = [](LogTargetInterface* self) { detachCalls.push_back(foreign(self)->id); };
    return table;
}

TEST_F(LogServiceApiTest, LastReleaseDetachesEveryTargetLastFirst) {
    detachCalls.clear();
    ForeignTarget first{foreignTable(), 1};
    ForeignTarget second{foreignTable(), 2};
    api.attachTarget(&first.table);
    api.attachTarget(&second.table);
    api.attachTarget(&first.table);
    LogService::release();
    EXPECT_EQ(detachCalls, (std::vector<int>{1, 2})) << "the last entry first; each entry once";
    EXPECT_EQ(api.findTarget("ForeignTarget"), nullptr);
    LogService::acquire(); // given back by the fixture
}

} // namespace
} // namespace kiv
