#include "kivhost/core/plugin_clock.h"

#include "kiv/plugin_abi.h"

#include <chrono>

#ifdef _WIN32
#define KIVHOST_PROCESS_EXPORT __declspec(dllexport)
#else
#define KIVHOST_PROCESS_EXPORT __attribute__((visibility("default"), used))
#endif

namespace kiv::kivhost {
namespace {

thread_local const HostClock* boundClock = nullptr;

} // namespace

void bindPluginClockToThisThread(const HostClock* clock) noexcept {
    boundClock = clock;
}

} // namespace kiv::kivhost

// The export a plugin looks for (KIV_HOST_STEADY_CLOCK_NAME). A call from a thread no host has
// bound reads the system's steady clock, as the plugin itself would.
extern "C" KIVHOST_PROCESS_EXPORT std::int64_t KIV_CDECL kiv_host_steady_clock_ns(void) {
    if (const kiv::kivhost::HostClock* clock = kiv::kivhost::boundClock) {
        return clock->nowNs();
    }
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}
