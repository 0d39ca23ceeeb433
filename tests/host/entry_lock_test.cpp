// Entries into one plugin from several host threads at once: event deliveries, jobs coming due
// and requests each run alone, under the plugin's entry lock.
#include "host/event_names.h"
#include "loaded_plugin.h"

#include "../binding/value_builders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv::test {

namespace {

const std::string kProbeEvent = eventNameForPath("/probe");

constexpr int kRounds = 150;

// Counts how many entries are inside the plugin at once.
struct Occupancy {
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::atomic<int> entries{0};

    void enter() {
        const int now = ++inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        // Gives the processor away while inside, so that another thread would get in now if
        // nothing kept it out, even on a machine with a single core.
        std::this_thread::yield();
        ++entries;
        --inside;
    }
};

// Holds each thread until all have arrived. A mutex and a condition variable rather than
// std::latch: where there is no futex (the Windows build), this C++ library's latch reads the
// count before it takes the mutex its condition variable waits with, and the last thread to
// arrive notifies without that mutex, so a waiter can miss the opening and wait for good. The
// test hung so under wine.
class StartGate {
  public:
    explicit StartGate(int threads) : waiting_(threads) {}

    void arriveAndWait() {
        std::unique_lock lock(mutex_);
        if (--waiting_ == 0) {
            opened_.notify_all();
            return;
        }
        opened_.wait(lock, [this] { return waiting_ == 0; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    int waiting_;
};

const HttpFunctionRecord& routeRecord(const ApiExport& exported, std::string_view name) {
    for (const ExportedFunction* function = exported.functions; function; function = function->next) {
        if (name == function->name) {
            return *reinterpret_cast<const HttpFunctionRecord*>(function);
        }
    }
    throw std::runtime_error("no such route");
}

TEST(EntryLock, DeliveriesJobsAndRequestsFromSeveralThreadsRunOneAtATime) {
    FakeHost host;
    Occupancy occupancy;
    LoadedPlugin loaded(host, [&](ProbePlugin& plugin) {
        plugin.registerApi = [&](ProbePlugin& self) {
            self.router().addGet(
                "/kiv-probe/v1/enter",
                [&] {
                    occupancy.enter();
                    return 1;
                },
                self.tags());
        };
    });
    ProbePlugin& plugin = loaded.plugin();
    {
        const PluginEntry entry = loaded.enter();
        (void)plugin.observers().observe("/probe", [&](const PluginResourceEvent&) { occupancy.enter(); });
        for (int i = 0; i < kRounds; ++i) {
            plugin.jobs().schedule("kiv-probe.enter", 0.0, [&] { occupancy.enter(); });
        }
    }
    const std::vector<HostTimer> timers = host.timers;
    const HttpFunctionRecord& route = routeRecord(*plugin.apiExport(), "GetKivProbeV1Enter");
    const Value event = structureOf({{"uri", stringValue("/probe")}});

    // The three threads start together, so that their entries overlap.
    StartGate start(3);
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        start.arriveAndWait();
        for (int i = 0; i < kRounds; ++i) {
            host.deliver(kProbeEvent, event);
        }
    });
    threads.emplace_back([&] {
        start.arriveAndWait();
        for (const HostTimer& timer : timers) {
            FakeHost::fire(timer);
        }
    });
    threads.emplace_back([&] {
        start.arriveAndWait();
        for (int i = 0; i < kRounds; ++i) {
            HostRequest request{};
            request.method = KIV_HTTP_METHOD_GET;
            request.path = "/kiv-probe/v1/enter";
            request.context = route.function.context;
            HostResponse response{};
            route.dispatch(&response, &request);
            if (response.release) {
                response.release(&response);
            }
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(occupancy.entries.load(), 3 * kRounds);
    EXPECT_EQ(occupancy.most.load(), 1);
}

// The parts assert the one locking rule: a call from outside the plugin's entry stops a build
// that checks its invariants.
TEST(EntryLockDeathTest, APartUsedOutsideTheEntryStops) {
#ifdef NDEBUG
    GTEST_SKIP() << "invariants are checked in debug builds";
#else
    FakeHost host;
    LoadedPlugin loaded(host);
    EXPECT_DEATH((void)loaded.plugin().jobs().pendingCount(), "inside the plugin's entry");
    EXPECT_DEATH(loaded.plugin().observers().unsubscribeAll(), "inside the plugin's entry");
#endif
}

} // namespace

} // namespace kiv::test
