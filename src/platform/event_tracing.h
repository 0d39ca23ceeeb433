// The system's event-tracing service (Event Tracing for Windows): providers that tracing sessions
// can enable, and events written to them. Where the service is missing every operation does
// nothing and reports 0, so callers need no special path.
#pragma once

#include <cstdint>

namespace kiv::platform {

// A provider's identity, laid out like a GUID.
struct EventProviderId {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

// Called by the tracing service when a session enables (code 1) or disables (code 0) the provider,
// or sends another control code.
using EventControlHandler = void (*)(void* context, std::uint32_t controlCode, std::uint8_t level,
                                     std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword);

// What a provider is registered with. The record must stay in place while the provider is
// registered: the tracing service reaches the handler through it.
struct EventProviderRegistration {
    EventProviderId id;
    EventControlHandler onControl;
    void* context;
};

struct EventDescriptor {
    std::uint16_t id;
    std::uint8_t version;
    std::uint8_t channel;
    std::uint8_t level;
    std::uint8_t opcode;
    std::uint16_t task;
    std::uint64_t keyword;
};

// One field of an event's payload.
struct EventField {
    const void* data;
    std::uint32_t size;
};

// Loads the tracing functions from the system's library, once: functions already loaded stay.
// Returns false when the system does not offer them; the other operations then do nothing.
bool openEventTracing() noexcept;

// The same from the named library, which replaces whatever was loaded before: a library that
// lacks the functions leaves every operation doing nothing, as on a system without them.
bool openEventTracingFrom(const wchar_t* library) noexcept;

// Registers a provider; returns its handle, 0 when it could not be registered. A session that is
// already listening may call the handler before this returns.
std::uint64_t registerEventProvider(const EventProviderRegistration& registration) noexcept;

// Writes an event; returns whether the system took it (false without the tracing functions or a
// handle).
bool writeEvent(std::uint64_t handle, const EventDescriptor& descriptor, const EventField* fields,
                std::uint32_t fieldCount) noexcept;

// Unregisters a provider registered by registerEventProvider.
void unregisterEventProvider(std::uint64_t handle) noexcept;

} // namespace kiv::platform
