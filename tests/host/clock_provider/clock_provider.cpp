// A host clock that a test loads into the process's global scope once plugin objects are already
// loaded: it exports the clock a plugin looks for at load, reading whatever the test set.
#include "kiv/plugin_abi.h"

#include <atomic>
#include <cstdint>

namespace {

std::atomic<std::int64_t> providedNanoseconds{0};

} // namespace

extern "C" __attribute__((visibility("default"))) std::int64_t KIV_CDECL kiv_host_steady_clock_ns(void) {
    return providedNanoseconds.load();
}

extern "C" __attribute__((visibility("default"))) void kiv_test_set_clock_ns(std::int64_t nanoseconds) {
    providedNanoseconds.store(nanoseconds);
}
