// The library's four event-tracing providers: registered when the library loads, unregistered
// when it unloads. Where the system has no event tracing they stay unregistered and write nothing.
#pragma once

#include "logging/etw_trace_context.h"

#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr std::size_t kEtwProviderCount = 4;

// Registers every provider not registered yet, in table order, and names the calling thread
// "Main thread" when a session already listens for it.
void registerEtwProviders() noexcept;

// Unregisters every registered provider.
void unregisterEtwProviders() noexcept;

// Writes the thread-name event (to the second provider) naming the thread `threadId`; a null name
// is written as "NULL". Returns whether the event was written.
bool writeThreadNameEvent(std::uint32_t threadId, const char* name) noexcept;

[[nodiscard]] bool isEtwProviderRegistered(std::size_t provider) noexcept;
[[nodiscard]] const EtwTraceContext& etwTraceContext(std::size_t provider) noexcept;

} // namespace kiv
