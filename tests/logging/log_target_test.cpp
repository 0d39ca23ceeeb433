#include "log_service_fixture.h"
#include "recording_log_target.h"

#include "logging/debugger_console_log_target.h"
#include "logging/log_message.h"
#include "logging/log_service_api.h"
#include "logging/std_err_log_target.h"
#include "logging/std_out_log_target.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kiv {
namespace {

using test::RecordingLogTarget;

class LogTargetTest : public test::LogServiceFixture {
  protected:
    void SetUp() override {
        LogServiceFixture::SetUp();
        detachBuiltInTargets();
        recorder.configure({LogLevel::Okay, 0, 0, "#M"});
    }

    std::size_t linesAfterOneMessage() {
        const std::size_t before = recorder.lines().size();
        LogMessage(LogLevel::Warn, 0, "message");
        return recorder.lines().size() - before;
    }

    RecordingLogTarget recorder;
};

TEST_F(LogTargetTest, NewTargetIsDetachedWithDefaults) {
    LogTarget target;
    EXPECT_FALSE(target.isAttached());
    EXPECT_EQ(target.minimumLevel(), LogLevel::Warn);
    EXPECT_EQ(target.requiredGroups(), 0u);
    EXPECT_EQ(target.mutedGroups(), 0u);
    EXPECT_STREQ(target.templateFor(LogRecord{}), "#D| #L| #G| #M");
}

TEST_F(LogTargetTest, RequiredGroupsLoseTheMutedBits) {
    const struct {
        std::uint64_t required, muted, expectedRequired;
    } cases[] = {{3, 1, 2},
                 {1, 1, 0},
                 {0, 0xFF, 0},
                 {~std::uint64_t{0}, std::uint64_t{1} << 63, ~std::uint64_t{0} >> 1}};
    LogTargetInterface* table = recorder.logInterface();
    for (const auto& c : cases) {
        table->setGroups(table, lowHalf(c.required), highHalf(c.required), lowHalf(c.muted),
                         highHalf(c.muted));
        EXPECT_EQ(table->requiredGroups(table), c.expectedRequired);
        EXPECT_EQ(table->mutedGroups(table), c.muted);
    }
}

TEST_F(LogTargetTest, AttachingTwiceListsTheTargetOnce) {
    recorder.attach();
    recorder.attach();
    EXPECT_TRUE(recorder.isAttached());
    EXPECT_EQ(linesAfterOneMessage(), 1u);
}

TEST_F(LogTargetTest, DetachRemovesEveryOccurrence) {
    const LogServiceApi& api = logServiceApi();
    recorder.attach();
    api.attachTarget(recorder.logInterface());
    EXPECT_EQ(linesAfterOneMessage(), 2u);
    recorder.detach();
    EXPECT_FALSE(recorder.isAttached());
    EXPECT_EQ(linesAfterOneMessage(), 0u);
}

TEST_F(LogTargetTest, DetachAlsoRemovesATargetListedWithoutItsFlag) {
    logServiceApi().attachTarget(recorder.logInterface());
    EXPECT_FALSE(recorder.isAttached());
    recorder.detach();
    EXPECT_EQ(linesAfterOneMessage(), 0u);
}

TEST_F(LogTargetTest, DetachingADetachedTargetChangesNothing) {
    recorder.detach();
    EXPECT_FALSE(recorder.isAttached());
    EXPECT_EQ(linesAfterOneMessage(), 0u);
}

TEST_F(LogTargetTest, ApplySettingsConfiguresAndAttachesOnce) {
    recorder.attach();
    ASSERT_TRUE(recorder.applySettings({LogLevel::Error, kLogGroupDbg, kLogGroupGen, "[#L] #M"}));
    EXPECT_TRUE(recorder.isAttached());
    EXPECT_EQ(recorder.minimumLevel(), LogLevel::Error);
    EXPECT_EQ(recorder.requiredGroups(), kLogGroupDbg);
    EXPECT_EQ(recorder.mutedGroups(), kLogGroupGen);
    LogMessage(LogLevel::Error, 1, "kept");
    LogMessage(LogLevel::Warn, 1, "below the target's level");
    const auto lines = recorder.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].line, "[ ERROR] kept\n");
}

TEST_F(LogTargetTest, DestroyedTargetLeavesTheList) {
    auto target = std::make_unique<RecordingLogTarget>("Short-lived");
    target->applySettings({LogLevel::Okay, 0, 0, "#M"});
    target.reset();
    withService([](LogService& service) { EXPECT_EQ(service.findTarget("Short-lived"), nullptr); });
    EXPECT_EQ(linesAfterOneMessage(), 0u); // the recorder is not attached; nothing dangles
}

TEST_F(LogTargetTest, InterfaceLeadsBackToItsTarget) {
    LogTargetInterface* table = recorder.logInterface();
    EXPECT_EQ(LogTarget::fromInterface(table), &recorder);
    EXPECT_EQ(LogTarget::fromInterface(nullptr), nullptr);
    EXPECT_EQ(table->version(table), 1);
    table->setMinimumLevel(table, LogLevel::Always);
    EXPECT_EQ(table->minimumLevel(table), LogLevel::Always);
    EXPECT_STREQ(table->templateFor(table, nullptr), "#M");
    table->attach(table);
    EXPECT_TRUE(table->isAttached(table));
    table->detach(table);
    EXPECT_FALSE(table->isAttached(table));
}

TEST_F(LogTargetTest, InterfaceWriteCallsTheClassWrite) {
    LogRecord record;
    record.text = "direct";
    LogTarget bare;
    EXPECT_FALSE(bare.logInterface()->write(bare.logInterface(), &record)) << "a bare target writes nothing";
    EXPECT_TRUE(recorder.logInterface()->write(recorder.logInterface(), &record));
    EXPECT_FALSE(recorder.logInterface()->write(recorder.logInterface(), nullptr));
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"direct"}));
}

TEST_F(LogTargetTest, EveryClassNamesItself) {
    LogTarget bare;
    StdErrLogTarget stdErr;
    StdOutLogTarget stdOut;
    DebuggerConsoleLogTarget debugger;
    const std::pair<LogTarget*, const char*> targets[] = {{&bare, "LogTarget"},
                                                          {&stdErr, "StdErrLogTarget"},
                                                          {&stdOut, "StdOutLogTarget"},
                                                          {&debugger, "DebuggerConsoleLogTarget"}};
    for (const auto& [target, name] : targets) {
        EXPECT_STREQ(target->logInterface()->name(target->logInterface()), name);
    }
}

TEST_F(LogTargetTest, DebuggerTargetWritesAndFlushesQuietly) {
    DebuggerConsoleLogTarget debugger;
    LogRecord record;
    record.text = "to the debugger";
    EXPECT_TRUE(debugger.write(record));
    debugger.flush();
}

} // namespace
} // namespace kiv
