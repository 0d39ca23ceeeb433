// Requests racing the plugin's unload. A host thread keeps calling a function's dispatch entry
// while another thread unloads the plugin; the unloading thread stops inside the host's
// unsubscribeEvent, which unload calls while it holds the plugin's entry lock, until a request is
// on its way in, so that the request waits on that lock while the plugin is destroyed. Every
// answer is the function's own or the refusal of an unloaded plugin, also for the requests that
// come after unload with the context the host kept; none is built from the destroyed plugin.
#include "test_plugin_host.h"

#include "kivhost/core/host_api_table.h"
#include "kivhost/platform/dynamic_library.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace kiv::test {

namespace {

constexpr int kRounds = 200;
constexpr const char* kUnloadedText = "The plugin is unloaded.";
constexpr const char* kNotFound = "Not found";

// Waits for `done` with a bound that only stops a hang.
template <class Condition> bool waitFor(Condition done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// The function's dispatch entry and context, copied out of its record as a host keeps them:
// the record itself goes with the plugin.
struct KeptFunction {
    HttpDispatchFn dispatch = nullptr;
    void* context = nullptr;
};

KeptFunction keptFunction(const ApiExport& exported, std::string_view name) {
    for (const ExportedFunction* function = exported.functions; function != nullptr;
         function = function->next) {
        if (name == function->name) {
            const auto& record = *reinterpret_cast<const HttpFunctionRecord*>(function);
            return {record.dispatch, record.function.context};
        }
    }
    return {};
}

// The requester's side: requests begun and answered, and how they were answered.
struct Requests {
    std::atomic<std::uint64_t> begun{0};
    std::atomic<std::uint64_t> answered{0};
    std::atomic<std::uint64_t> served{0};
    std::atomic<std::uint64_t> refused{0};
    std::mutex mutex;
    std::vector<std::string> otherAnswers; // failures that are not the unloaded refusal

    void call(const KeptFunction& function) {
        HostRequest request{};
        request.method = KIV_HTTP_METHOD_GET;
        request.path = kStatusPath;
        request.context = function.context;
        HostResponse response{};
        ++begun;
        function.dispatch(&response, &request);
        if (!response.result.failed) {
            ++served;
        } else if (response.result.error != nullptr &&
                   std::strcmp(response.result.error, kUnloadedText) == 0 && response.status == 503) {
            ++refused;
        } else {
            std::lock_guard lock(mutex);
            otherAnswers.push_back(std::string(response.result.error ? response.result.error : "<null>") +
                                   " (" + std::to_string(response.status) + ")");
        }
        if (const ResponseReleaseFn release = response.release) {
            release(&response);
        }
        ++answered;
    }
};

// A host whose only business is the race: it answers the plugin's reads with "Not found" and,
// when armed, holds the plugin's first unsubscription until a request is on its way in.
class RacingHost final : public kivhost::HostApiHandler {
  public:
    explicit RacingHost(Requests& requests) : requests_(requests) {}

    HostApi* api() noexcept { return table_.api(); }
    void arm() noexcept { armed_ = true; }
    std::uint64_t faults() const noexcept { return faults_; }
    bool heldUnload() const noexcept { return heldUnload_; }

    void sendRequest(HostResponse* response, const HostRequest*) override {
        std::memset(response, 0, sizeof *response);
        response->result.failed = 1;
        response->result.error = const_cast<char*>(kNotFound); // no release routine: nothing to free
        response->status = 404;
    }
    void unsubscribeEvent(const char*, std::uintptr_t) override {
        if (!armed_.exchange(false)) {
            return;
        }
        // A request begun and not answered waits on the entry lock this thread holds, or is about
        // to; the pause lets it read its context and get to the lock before the plugin goes.
        heldUnload_ = waitFor([&] { return requests_.begun.load() > requests_.answered.load(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void hostOperation1(std::uint32_t, std::uint32_t) override {}
    void sendEvent(const HostEventRecord*) override {}
    void subscribeEvent(const char*, std::uintptr_t, PluginEventCallbackFn, void*, std::uint32_t) override {}
    void scheduleTimer(const char*, PluginTimerCallbackFn, void*, double) override {}
    void yieldToHost() override {}
    void beginWait(const char*) override {}
    void endWait() override {}
    void writeLog(std::uint32_t, const char*) override {}
    void reportFault(std::string_view, std::string_view) noexcept override { ++faults_; }

  private:
    Requests& requests_;
    kivhost::HostApiTable table_{*this};
    std::atomic<bool> armed_{false};
    bool heldUnload_ = false;
    std::atomic<std::uint64_t> faults_{0};
};

TEST(RequestUnloadRace, RequestsAreServedOrRefusedAndNeverReachTheDestroyedPlugin) {
    std::string error;
    const kivhost::DynamicLibrary library = kivhost::DynamicLibrary::open(kTestPluginLibrary, error);
    ASSERT_TRUE(library.isOpen()) << error;
    const auto load = reinterpret_cast<PluginLoadFn>(library.symbol(kEntryName));
    ASSERT_NE(load, nullptr);

    Requests requests;
    RacingHost racingHost(requests);
    PluginCallbacks callbacks{};
    for (int round = 0; round < kRounds; ++round) {
        PluginLoadInfo info{};
        info.apiMajor = 18;
        load(&info);
        ASSERT_NE(info.callbacks, nullptr);
        callbacks = *info.callbacks; // the record lives in the plugin object
        const KeptFunction status = keptFunction(*info.apiExport, "GetKivTestPluginV1Status");
        ASSERT_NE(status.dispatch, nullptr);
        HostInterface hostInterface{racingHost.api(), 1};
        ASSERT_EQ(callbacks.initialize(info.plugin, &hostInterface), 1);

        const std::uint64_t servedBefore = requests.served.load();
        const std::uint64_t refusedBefore = requests.refused.load();
        std::atomic<bool> stop{false};
        std::thread requester([&] {
            while (!stop.load()) {
                requests.call(status);
            }
        });
        ASSERT_TRUE(waitFor([&] { return requests.served.load() > servedBefore; })) << "round " << round;
        racingHost.arm();
        callbacks.unload(info.plugin);
        EXPECT_TRUE(racingHost.heldUnload()) << "round " << round;
        // At least one request entirely after unload, with the context the host kept.
        const std::uint64_t begunAfterUnload = requests.begun.load();
        const bool answeredAfterUnload = waitFor([&] { return requests.answered.load() > begunAfterUnload; });
        stop = true;
        requester.join();
        ASSERT_TRUE(answeredAfterUnload) << "round " << round;
        EXPECT_GT(requests.refused.load(), refusedBefore) << "round " << round;
        std::lock_guard lock(requests.mutex);
        ASSERT_TRUE(requests.otherAnswers.empty())
            << "round " << round << ": " << requests.otherAnswers.front();
    }
    EXPECT_EQ(racingHost.faults(), 0u);

    // Nothing the requests held outlives them: what the plugins allocated is all freed.
    MemoryStatistics statistics{};
    callbacks.getMemoryStatistics(nullptr, &statistics);
    EXPECT_EQ(statistics.bytesAllocated, statistics.bytesFreed);
    EXPECT_EQ(statistics.allocationCount, statistics.freeCount);
}

} // namespace

} // namespace kiv::test
