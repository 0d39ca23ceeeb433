#include "platform/steady_clock.h"
#include "platform/steady_clock_common.h"

#include <dlfcn.h>

namespace kiv::platform {

std::int64_t steadyClockNanoseconds() noexcept {
    return detail::readSteadyClock();
}

void useProcessSteadyClock(const char* exportName) noexcept {
    // The global scope holds the executable's exported symbols and those of the libraries loaded
    // globally; a host exports its clock from its executable.
    void* const symbol = exportName ? dlsym(RTLD_DEFAULT, exportName) : nullptr;
    detail::processClock().store(reinterpret_cast<detail::ProcessClockFn>(symbol), std::memory_order_release);
}

} // namespace kiv::platform
