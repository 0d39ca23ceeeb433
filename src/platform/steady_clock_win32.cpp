#include "platform/steady_clock.h"

#include <windows.h>

namespace kiv::platform {

SteadyClock::SourceFn findProcessClock(const char* exportName) noexcept {
    // The executable's own export table: a host exports its clock from its .exe.
    HMODULE executable = GetModuleHandleW(nullptr);
    FARPROC symbol = executable && exportName ? GetProcAddress(executable, exportName) : nullptr;
    return reinterpret_cast<SteadyClock::SourceFn>(reinterpret_cast<void*>(symbol));
}

} // namespace kiv::platform
