// How a development host presents itself to the plugins it loads: the core plugin-API version
// it writes into the load record, the clock its timers run on, and how it answers GETs of the
// resources it stores.
#pragma once

#include "kivhost/core/kivhost_types.h"

#include <cstdint>

namespace kiv::kivhost {

enum class ClockKind {
    // Time stands still while anything runs; the host moves it to the next due timer.
    Virtual,
    // Timers wait for the steady clock.
    Real,
};

struct HostOptions {
    CoreVersion core;
    ClockKind clock = ClockKind::Virtual;
    // 0: GETs answered from the resource store carry a flat value. Otherwise the answer is the
    // value's JSON text as a streamed body, handed out at most this many bytes per read, so
    // that a plugin's streaming path runs.
    std::uint32_t streamChunkBytes = 0;
    // Whether every happening is kept for PluginHost::happenings(). A host that only passes
    // them to its listener as they happen keeps none, so that its memory does not grow with a
    // long timeline.
    bool keepHappenings = true;
};

} // namespace kiv::kivhost
