#include "platform/steady_clock.h"
#include "platform/steady_clock_common.h"

#include <windows.h>

namespace kiv::platform {

std::int64_t steadyClockNanoseconds() noexcept {
    return detail::readSteadyClock();
}

void useProcessSteadyClock(const char* exportName) noexcept {
    // The executable's own export table: a host exports its clock from its .exe.
    HMODULE executable = GetModuleHandleW(nullptr);
    FARPROC symbol = executable && exportName ? GetProcAddress(executable, exportName) : nullptr;
    detail::processClock().store(reinterpret_cast<detail::ProcessClockFn>(reinterpret_cast<void*>(symbol)),
                                 std::memory_order_release);
}

} // namespace kiv::platform
