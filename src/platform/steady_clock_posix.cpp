#include "platform/steady_clock.h"

#include <dlfcn.h>

namespace kiv::platform {

SteadyClock::SourceFn findProcessClock(const char* exportName) noexcept {
    // The global scope holds the executable's exported symbols and those of the libraries loaded
    // globally; a host exports its clock from its executable.
    void* const symbol = exportName ? dlsym(RTLD_DEFAULT, exportName) : nullptr;
    return reinterpret_cast<SteadyClock::SourceFn>(symbol);
}

} // namespace kiv::platform
