// The shutdown-law library as a host that runs for days drives it, through its one export: many
// answers held at once, a million requests, thousands of load and unload cycles from four threads,
// stale and forged handles, contexts and tokens. Every test ends with the library's memory
// balanced. Small counts run in `make test`; KIV_FULL_VOLUME (`make soak`) runs the full ones.
#include "plugin_under_test.h"
#include "volume_counts.h"

#include "kivhost/core/json_text.h"
#include "kivhost/core/response_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kiv::boundary_volume_test {
namespace {

using fuzzing::AnswerKind;
using fuzzing::AnswerPlan;
using fuzzing::FuzzingHost;
using fuzzing::KeptFunction;
using fuzzing::PluginUnderTest;
using fuzzing::RequestPlan;
using fuzzing::Timer;
using testing_volume::volumeCount;

constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";
constexpr const char* kNotificationPath = "/kiv-kr-shutdown-law/v1/notification";
constexpr const char* kQueueStatusTemplate = "/kiv-kr-shutdown-law/v1/queue-status/{queue_id}";

void answerJson(FuzzingHost& host, const std::string& path, const std::string& json) {
    AnswerPlan answer;
    answer.path = path;
    answer.kind = AnswerKind::Value;
    answer.json = json;
    host.setAnswer(answer);
}

// A packet whose cut-off is `minutes` away, and a queue list of `queues` ids from 1.
void answerLaw(FuzzingHost& host, int minutes, int queues) {
    answerJson(host, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": )" + std::to_string(minutes) +
                   "}");
    std::string list = "[";
    for (int id = 1; id <= queues; ++id) {
        list += (id > 1 ? "," : "") + std::string(R"({"id": )") + std::to_string(id) + "}";
    }
    answerJson(host, kQueuesPath, list + "]");
}

std::unique_ptr<PluginUnderTest> loadLaw(FuzzingHost& host) {
    auto plugin = std::make_unique<PluginUnderTest>(fuzzing::LoadPlan{});
    EXPECT_TRUE(plugin->initialize(host));
    return plugin;
}

RequestPlan getRequest(const std::vector<KeptFunction>& functions, const std::string& pathTemplate,
                       const std::string& path) {
    RequestPlan request;
    for (std::size_t i = 0; i < functions.size(); ++i) {
        if (functions[i].pathTemplate == pathTemplate) {
            request.function = static_cast<std::uint8_t>(i);
        }
    }
    request.method = KIV_HTTP_METHOD_GET;
    request.path = path;
    return request;
}

// Reads and releases an answer the way kivhost does, and gives its value as JSON or its error.
std::string readAnswer(HostResponse& response) {
    std::vector<std::string> faults;
    const kivhost::Response read = kivhost::readPluginResponse(response, faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    return read.error ? "error " + std::to_string(read.status) + ": " + *read.error
                      : kivhost::toJson(read.value);
}

std::string get(const PluginUnderTest& plugin, const std::string& pathTemplate, const std::string& path) {
    HostResponse response =
        fuzzing::dispatchHeld(plugin.functions(), getRequest(plugin.functions(), pathTemplate, path));
    return readAnswer(response);
}

// Every block the library allocated since `before` is freed again.
void expectBalancedSince(const MemoryStatistics& before) {
    const MemoryStatistics after = fuzzing::memoryStatistics();
    EXPECT_EQ(after.allocationCount - before.allocationCount, after.freeCount - before.freeCount);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

class HeldAnswers : public ::testing::TestWithParam<std::size_t> {};

// The host holds every answer before it releases any, each through its own routine, then asks
// again: held answers live in one process-wide table that grows and shrinks with them.
TEST_P(HeldAnswers, EveryHeldAnswerIsReleasedOnceAndTheNextOnesServe) {
    const std::size_t held = GetParam();
    FuzzingHost host;
    auto plugin = loadLaw(host);
    const MemoryStatistics before = fuzzing::memoryStatistics();
    const RequestPlan request = getRequest(plugin->functions(), kNotificationPath, kNotificationPath);
    std::vector<HostResponse> answers;
    answers.reserve(held);
    for (std::size_t i = 0; i < held; ++i) {
        answers.push_back(fuzzing::dispatchHeld(plugin->functions(), request));
    }
    const MemoryStatistics holding = fuzzing::memoryStatistics();
    // Each held answer costs its records, a few dozen bytes, beside what the first request
    // prepares once.
    EXPECT_LE(holding.peakLiveBytes - before.peakLiveBytes, 4096 + held * 256);
    for (HostResponse& answer : answers) {
        ASSERT_EQ(readAnswer(answer), R"({"type":"NONE"})");
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(get(*plugin, kNotificationPath, kNotificationPath), R"({"type":"NONE"})");
    }
    expectBalancedSince(before);
    plugin.reset();
    fuzzing::requireBalancedMemory();
}

INSTANTIATE_TEST_SUITE_P(AtEveryGrowthPoint, HeldAnswers,
                         ::testing::Values(0, 1, 63, 64, 65, 127, 128, 129, 255, 256, 257, 1'000, 10'000,
                                           100'000));

TEST(BoundaryVolume, AMillionRequestsLeaveNothingBehind) {
    FuzzingHost host;
    answerLaw(host, 30, 3);
    auto plugin = loadLaw(host);
    const MemoryStatistics before = fuzzing::memoryStatistics();
    const std::size_t count = volumeCount(20'000, 1'000'000);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string id = std::to_string(i % 5);
        ASSERT_EQ(get(*plugin, kQueueStatusTemplate, "/kiv-kr-shutdown-law/v1/queue-status/" + id),
                  R"({"isDisabled":false})");
    }
    expectBalancedSince(before);
    EXPECT_LE(fuzzing::memoryStatistics().peakLiveBytes, before.peakLiveBytes + 64 * 1024);
    plugin.reset();
    fuzzing::requireBalancedMemory();
}

// Four host threads, each with a host of its own, load, initialise, exchange events, timers and
// requests with, and unload plugin objects over and over; timers of unloaded objects fire too.
TEST(BoundaryVolume, LoadAndUnloadCyclesFromFourThreads) {
    const std::size_t cycles = volumeCount(50, 2'500);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([cycles, t] {
            FuzzingHost host;
            answerLaw(host, 60 + t, 4);
            for (std::size_t cycle = 0; cycle < cycles; ++cycle) {
                auto plugin = loadLaw(host);
                fuzzing::EventPlan event;
                event.path = kQueuesPath;
                event.payload.kind = fuzzing::PayloadKind::ResourceEvent;
                event.payload.uri = kQueuesPath;
                event.payload.eventType = "Update";
                event.payload.json = R"([{"id": 2}, {"id": 9}])";
                fuzzing::deliverEvent(host, event);
                EXPECT_EQ(get(*plugin, kNotificationPath, kNotificationPath), R"({"type":"WARNING"})");
                for (const Timer& timer : host.advanceTo(host.clock().nowMs() + 10 * 60'000)) {
                    fuzzing::fire(timer);
                }
                plugin.reset();
            }
            for (const Timer& timer : host.advanceTo(kivhost::kEndOfTime)) {
                fuzzing::fire(timer); // the plugins are gone: their tokens lead nowhere
            }
            host.requireSettled();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    fuzzing::requireBalancedMemory();
}

// A handle, function context or job token kept after unload, or made up, reaches nothing: not
// the next plugin object, even one allocated where the unloaded one was.
TEST(BoundaryVolume, StaleAndForgedHandlesReachNothing) {
    FuzzingHost host;
    answerLaw(host, 200, 2);
    const std::size_t cycles = volumeCount(200, 10'000);
    auto previous = loadLaw(host);
    void* staleHandle = previous->handle();
    const PluginCallbacks callbacks = previous->callbacks();
    std::vector<KeptFunction> staleFunctions = previous->functions();
    std::vector<Timer> staleTimers = host.pendingTimers();
    previous.reset();
    std::size_t timersBefore = staleTimers.size();
    int local = 0;
    void* const forged[] = {nullptr, &local, reinterpret_cast<void*>(std::uintptr_t{1}),
                            reinterpret_cast<void*>(~std::uintptr_t{0})};
    for (std::size_t cycle = 0; cycle < cycles; ++cycle) {
        auto plugin = loadLaw(host);
        EXPECT_EQ(callbacks.initialize(staleHandle, host.hostInterface()), 0);
        callbacks.unload(staleHandle);
        for (void* handle : forged) {
            EXPECT_EQ(callbacks.initialize(handle, host.hostInterface()), 0);
            callbacks.unload(handle);
        }
        HostResponse stale = fuzzing::dispatchHeld(
            staleFunctions, getRequest(staleFunctions, kNotificationPath, kNotificationPath));
        EXPECT_NE(readAnswer(stale).rfind("error ", 0), std::string::npos);
        for (const Timer& timer : staleTimers) {
            fuzzing::fire(timer);
        }
        // The live object is untouched: still initialised, its state its own.
        ASSERT_EQ(get(*plugin, kNotificationPath, kNotificationPath), R"({"type":"NONE"})");
        staleHandle = plugin->handle();
        staleFunctions = plugin->functions();
        // The timers this object scheduled; the host keeps all of them pending until the end.
        staleTimers = host.pendingTimers(timersBefore);
        timersBefore += staleTimers.size();
    }
    for (const Timer& timer : host.advanceTo(kivhost::kEndOfTime)) {
        fuzzing::fire(timer);
    }
    host.requireSettled();
    fuzzing::requireBalancedMemory();
}

} // namespace
} // namespace kiv::boundary_volume_test
