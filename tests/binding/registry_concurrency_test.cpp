// The API description against a registry that changes under it: functions come and go on one
// thread while others export or describe the API. Run under AddressSanitizer and
// ThreadSanitizer, a read of a removed function or an unguarded record array is reported.
#include "binding/api_help.h"
#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kiv {
namespace {

// Texts long enough to live on the heap, so that reading one after its function is gone is
// a use after free rather than a read of reused inline storage.
const std::string kLongText(64, 'd');

std::unique_ptr<BindingFunction> churnedFunction(int index) {
    auto function = std::make_unique<BindingFunction>();
    function->name = "GetChurned" + std::to_string(index) + kLongText;
    function->description = kLongText;
    function->tags = {"churn" + kLongText, "more" + kLongText};
    BindingArgument argument;
    argument.name = "id" + kLongText;
    argument.type.kind = BindingTypeKind::Int32;
    function->arguments = {argument, argument};
    return function;
}

// Keeps a few functions registered at any time, each removed a few registrations later,
// until `stop` is set.
void churn(BindingRegistry& registry, const std::atomic<bool>& stop) {
    constexpr int kLive = 4;
    BindingFunction* live[kLive] = {};
    for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
        BindingFunction*& slot = live[i % kLive];
        registry.unregisterFunction(slot);
        slot = registry.registerFunction(churnedFunction(i)).function;
    }
}

// Runs `readers` threads of `read` against the churn, each `rounds` times.
void runAgainstChurn(BindingRegistry& registry, int readers, int rounds, const std::function<void()>& read) {
    std::atomic<bool> stop{false};
    std::thread churner([&] { churn(registry, stop); });
    std::vector<std::thread> threads;
    for (int t = 0; t < readers; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                read();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    stop = true;
    churner.join();
}

class RegistryConcurrencyTest : public ::testing::Test {
  protected:
    RegistryConcurrencyTest() {
        auto stable = std::make_unique<BindingFunction>();
        stable->name = "GetStable";
        stable->tags = {"kept"};
        EXPECT_TRUE(registry.registerFunction(std::move(stable)).created);
    }

    BindingRegistry registry;
};

TEST_F(RegistryConcurrencyTest, ExportWhileFunctionsComeAndGo) {
    std::atomic<int> badRecords{0};
    runAgainstChurn(registry, 1, 3000, [&] {
        // Every record read here must stay readable until the next export, whatever is
        // removed meanwhile.
        const ApiExport& api = registry.exportApi();
        for (const ExportedFunction* function = api.functions; function != nullptr;
             function = function->next) {
            const std::string name = function->name;
            const bool stable = name == "GetStable";
            const bool churned = name.starts_with("GetChurned") && function->tagCount == 2 &&
                                 std::strncmp(function->tags[1], "more", 4) == 0 &&
                                 function->argumentCount == 2 &&
                                 std::strncmp(function->arguments->next->name, "id", 2) == 0;
            if (!stable && !churned) {
                ++badRecords;
            }
        }
    });
    EXPECT_EQ(badRecords.load(), 0);
    EXPECT_GE(registry.exportApi().functionCount, 1u);
}

TEST_F(RegistryConcurrencyTest, HelpWhileFunctionsComeAndGo) {
    std::atomic<int> badRecords{0};
    runAgainstChurn(registry, 1, 3000, [&] {
        for (const BindingFullFunctionHelp& function : describeApi(registry).functions) {
            const bool churned = function.name.starts_with("GetChurned") && function.tags.size() == 2 &&
                                 function.arguments.size() == 2 && function.arguments[1].type.type == "int32";
            if (function.name != "GetStable" && !churned) {
                ++badRecords;
            }
        }
    });
    EXPECT_EQ(badRecords.load(), 0);
}

// Exporters only: the records that one returns are rebuilt by the next, so they are not read
// here; what counts is that two rebuilds never run over the same arrays at once.
TEST_F(RegistryConcurrencyTest, ExportsFromSeveralThreadsAtOnce) {
    runAgainstChurn(registry, 2, 1500, [&] { (void)registry.exportApi(); });
    const ApiExport& api = registry.exportApi();
    EXPECT_GE(api.functionCount, 1u);
    EXPECT_LE(api.functionCount, 5u); // the stable function and at most four churned ones
}

} // namespace
} // namespace kiv
