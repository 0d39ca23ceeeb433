#include "platform/event_tracing.h"

namespace kiv::platform {

// POSIX systems have no event-tracing service of this kind.

bool openEventTracing() noexcept {
    return false;
}

bool openEventTracingFrom(const wchar_t*) noexcept {
    return false;
}

std::uint64_t registerEventProvider(const EventProviderRegistration&) noexcept {
    return 0;
}

bool writeEvent(std::uint64_t, const EventDescriptor&, const EventField*, std::uint32_t) noexcept {
    return false;
}

void unregisterEventProvider(std::uint64_t) noexcept {}

} // namespace kiv::platform
