// The clock kivhost hands to the plugins it loads. A plugin measures its delays and moments on the
// steady clock that its host process exports under the boundary's fixed name; kivhost exports one
// that reads the clock of the host whose delivery thread calls it, virtual or real. So a scenario's
// 95 minutes pass for the plugin as they pass for its timers, in a run of microseconds too.
#pragma once

#include "kivhost/core/host_clock.h"

namespace kiv::kivhost {

// Makes `clock` the one the plugins read on the calling thread (null: the system's steady clock).
// Each host binds its clock to its delivery thread, on which every entry into a plugin runs.
void bindPluginClockToThisThread(const HostClock* clock) noexcept;

} // namespace kiv::kivhost
