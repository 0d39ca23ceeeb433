// Generated scenarios played through the real library on the development host's virtual clock.
// Each run is held against the law's model (every event and every answer, at its moment), and
// the invariants that hold whatever the moments are are checked on the whole run, beyond the
// model's horizon too.
//
// `make test` plays a few hundred with a fixed seed. Run the executable with --scenarios=N and
// --seed=S to play more, with --first=K to replay from scenario K on, and with --keep-going to
// play them all and count the ones that differ (the first is reported in full).
#include "kivhost/core/json_text.h"
#include "kivhost/platform/dynamic_library.h"
#include "model_comparison.h"
#include "scenario_generator.h"
#include "shutdown_law_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

std::uint64_t scenarioCount = 300;
std::uint64_t scenarioSeed = 20240611;
std::uint64_t firstPlayed = 0; // earlier scenarios are generated but not played, to replay one failure
bool keepGoing = false;

constexpr std::string_view kEventPrefix = "OnJsonApiEvent_kiv-kr-shutdown-law_v1_";
constexpr std::string_view kQueueStatusPrefix = "/kiv-kr-shutdown-law/v1/queue-status/";

std::vector<std::int64_t> integersOf(const Value& list) {
    std::vector<std::int64_t> integers;
    for (const Value& element : list.elements()) {
        integers.push_back(element.asInteger(0));
    }
    return integers;
}

// Follows the happenings of one run in order and checks what must hold at any moment. The
// answers to GETs are the model's to check; these rules cover the events after its horizon too.
class InvariantChecker {
  public:
    void check(const kivhost::Happening& happening) {
        std::visit([this](const auto& detail) { see(detail); }, happening.detail);
    }

    void finish(const std::vector<kivhost::TimerRecord>& timers) {
        EXPECT_EQ(fired_, scheduled_) << "every job fires exactly once";
        for (const kivhost::TimerRecord& timer : timers) {
            EXPECT_TRUE(timer.fired) << timer.name;
        }
        EXPECT_EQ(unloads_, 1u);
    }

  private:
    template <class Other> void see(const Other&) {}

    void see(const kivhost::HostFault& fault) { ADD_FAILURE() << "host fault: " << fault.text; }
    void see(const kivhost::TimerScheduled&) { ++scheduled_; }
    void see(const kivhost::TimerFired&) { ++fired_; }

    void see(const kivhost::PluginUnloaded& unloaded) {
        ++unloads_;
        EXPECT_EQ(unloaded.pendingTimers, 0u);
        EXPECT_EQ(unloaded.memory.bytesAllocated, unloaded.memory.bytesFreed)
            << "memory balances after unload";
        EXPECT_EQ(unloaded.memory.allocationCount, unloaded.memory.freeCount);
    }

    void see(const kivhost::EventSent& event) {
        if (!event.name.starts_with(kEventPrefix)) {
            return;
        }
        const std::string_view resource = std::string_view(event.name).substr(kEventPrefix.size());
        const Value& data = event.payload["data"];
        EXPECT_EQ(event.payload["eventType"].getString(""), "Update");
        if (resource == "notification") {
            const std::string_view type = data["type"].getString("");
            EXPECT_TRUE(type == "WARNING" || type == "CUT_OFF")
                << "a status assignment is never NONE: " << type;
        } else if (resource == "queue-status") {
            const std::string uri(event.payload["uri"].getString(""));
            EXPECT_TRUE(queueStatusUris_.insert(uri).second) << "a queue closes once: " << uri;
            EXPECT_EQ(kivhost::toJson(data), R"({"isDisabled":true})");
            lastClosed_ = std::strtoll(uri.c_str() + kQueueStatusPrefix.size(), nullptr, 10);
            expectingList_ = true;
        } else if (resource == "disabled-queues") {
            const std::vector<std::int64_t> list = integersOf(data);
            EXPECT_TRUE(expectingList_) << "the list follows a queue-status event";
            EXPECT_EQ(list.size(), disabled_.size() + 1) << "each list extends the previous by one queue";
            if (list.size() == disabled_.size() + 1) {
                EXPECT_TRUE(std::equal(disabled_.begin(), disabled_.end(), list.begin()));
                EXPECT_EQ(list.back(), lastClosed_);
            }
            disabled_ = list;
            expectingList_ = false;
        } else if (resource == "status") {
            EXPECT_EQ(kivhost::toJson(data), R"({"isAllQueuesDisabled":true})");
            EXPECT_FALSE(allQueuesClosed_) << "all queues close once";
            allQueuesClosed_ = true;
        } else {
            ADD_FAILURE() << "unknown event " << event.name;
        }
    }

    bool allQueuesClosed_ = false;
    bool expectingList_ = false;
    std::set<std::string> queueStatusUris_;
    std::vector<std::int64_t> disabled_;
    std::int64_t lastClosed_ = 0;
    std::size_t scheduled_ = 0;
    std::size_t fired_ = 0;
    std::size_t unloads_ = 0;
};

TEST(ShutdownLawPropertyTest, EveryGeneratedScenarioRunsAsTheModelSays) {
    // The platform maps the library once for the life of its process and loads the plugin in it;
    // the test keeps it mapped as well, so that each scenario's fresh plugin runs in the same
    // module rather than in one mapped afresh for each of tens of thousands of scenarios.
    std::string error;
    const kivhost::DynamicLibrary module = kivhost::DynamicLibrary::open(KIV_SHUTDOWN_LAW_LIBRARY, error);
    ASSERT_TRUE(module.isOpen()) << error;
    ScenarioGenerator generator(scenarioSeed);
    std::uint64_t played = 0;
    std::uint64_t differing = 0;
    for (std::uint64_t i = 0; i < scenarioCount; ++i) {
        const Scenario scenario = generator.next();
        if (i < firstPlayed) {
            continue;
        }
        ++played;
        const std::string name = "scenario " + std::to_string(i) + " of seed " + std::to_string(scenarioSeed);
        SCOPED_TRACE(name);
        const bool failedBefore = HasFailure();
        const PlayedRun run = playOnPlugin(scenario);
        InvariantChecker checker;
        for (const kivhost::Happening& happening : run.happenings) {
            checker.check(happening);
        }
        checker.finish(run.timers);

        const LawOutcome expected = expectedOutcome(scenario);
        const std::optional<std::string> difference = differenceFromModel(expected, run.happenings);
        if (difference) {
            ++differing;
            if (differing == 1) {
                ADD_FAILURE() << *difference << mismatchReport(scenario, expected, run.happenings);
            } else if (differing <= 30) {
                std::printf("%s: %s", name.c_str(), difference->c_str());
            }
        } else if (HasFailure() && !failedBefore) {
            ADD_FAILURE() << mismatchReport(scenario, expected, run.happenings);
        }
        if (HasFailure() && !keepGoing) {
            return;
        }
    }
    if (differing > 0) {
        ADD_FAILURE() << differing << " of " << played << " scenarios differ from the model";
    }
    RecordProperty("scenarios", std::to_string(played));
}

} // namespace
} // namespace kiv::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--scenarios=")) {
            kiv::test::scenarioCount = std::strtoull(argv[i] + std::strlen("--scenarios="), nullptr, 10);
        } else if (argument.starts_with("--seed=")) {
            kiv::test::scenarioSeed = std::strtoull(argv[i] + std::strlen("--seed="), nullptr, 10);
        } else if (argument.starts_with("--first=")) {
            kiv::test::firstPlayed = std::strtoull(argv[i] + std::strlen("--first="), nullptr, 10);
        } else if (argument == "--keep-going") {
            kiv::test::keepGoing = true;
        }
    }
    return RUN_ALL_TESTS();
}
