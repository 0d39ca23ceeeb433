// Each plugin object measures its moments and delays on the clock its load found, counted from a
// reading taken then: neither a host clock that appears at a later load nor the clock's origin or
// age changes a delay. This test program exports no clock of its own; the host clock comes from
// a library the test loads into the process's global scope.
#include "loaded_plugin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace kiv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
using SetClockFn = void (*)(std::int64_t);

// Loads the clock library into the global scope, where a plugin loaded from now on finds it.
SetClockFn provideHostClock() {
    void* library = dlopen(KIV_TEST_CLOCK_PROVIDER, RTLD_NOW | RTLD_GLOBAL);
    EXPECT_NE(library, nullptr) << dlerror();
    return library ? reinterpret_cast<SetClockFn>(dlsym(library, "kiv_test_set_clock_ns")) : nullptr;
}

// Schedules a job `seconds` after a moment read `elapsed` seconds after the plugin's load, as the
// law does with a packet's moment, and gives the delay the host was handed.
double delayAfterMoment(LoadedPlugin& loaded, const std::function<void()>& passTime, double seconds) {
    ProbePlugin& plugin = loaded.plugin();
    const PluginEntry entry = loaded.enter();
    const std::int64_t moment = plugin.clock().elapsedNanoseconds();
    passTime();
    plugin.jobs().scheduleAt("job", moment + static_cast<std::int64_t>(seconds * kSecond), [] {});
    return loaded.host().timers.back().delaySeconds;
}

TEST(PluginClock, APluginObjectKeepsTheClockItsLoadFound) {
    ASSERT_EQ(dlsym(RTLD_DEFAULT, KIV_HOST_STEADY_CLOCK_NAME), nullptr)
        << "the test program must not export a host clock of its own";
    FakeHost host;
    LoadedPlugin first(host);
    ASSERT_FALSE(first.plugin().clock().isProcessClock());

    const SetClockFn setClock = provideHostClock();
    ASSERT_NE(setClock, nullptr);
    setClock(500'000'000'000'000'000);
    LoadedPlugin second(host);
    EXPECT_TRUE(second.plugin().clock().isProcessClock());
    EXPECT_FALSE(first.plugin().clock().isProcessClock());

    // The first object's moments are still on the system's clock: 45,000 s stay 45,000 s, less
    // the little real time the test takes, however far the host's clock moves.
    const double firstDelay = delayAfterMoment(
        first, [&] { setClock(500'000'000'000'000'000 + 600 * kSecond); }, 45'000);
    EXPECT_LE(firstDelay, 45'000);
    EXPECT_GT(firstDelay, 45'000 - 60);
    // The second object's on the host's: ten minutes of it have passed since the moment.
    const double secondDelay = delayAfterMoment(
        second, [&] { setClock(500'000'000'000'000'000 + 1200 * kSecond); }, 45'000);
    EXPECT_DOUBLE_EQ(secondDelay, 44'400);
}

// A host clock of any origin, also one within hours of 2^63 ns or one that passes it, gives the
// delays of a clock that starts at 0.
TEST(PluginClock, EveryOriginGivesTheSameDelays) {
    const SetClockFn setClock = provideHostClock();
    ASSERT_NE(setClock, nullptr);
    constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
    FakeHost host;
    for (const std::int64_t origin :
         {std::int64_t{0}, std::int64_t{500'000'000'000'000'000}, kHighest - 3600 * kSecond,
          kHighest - 300 * kSecond, kLowest, std::int64_t{-1}}) {
        setClock(origin);
        LoadedPlugin loaded(host);
        const auto later = [&] {
            // Wrapping on purpose where the origin is near the end: a source may pass 2^63.
            setClock(static_cast<std::int64_t>(static_cast<std::uint64_t>(origin) + 600 * kSecond));
        };
        EXPECT_DOUBLE_EQ(delayAfterMoment(loaded, later, 7200), 6600) << "clock origin " << origin;
        EXPECT_DOUBLE_EQ(delayAfterMoment(
                             loaded, [] {}, -10),
                         0)
            << "clock origin " << origin;
    }
}

} // namespace
} // namespace kiv::test
