// What every delivery from the host goes through before a handler sees it: the event's flat
// payload converted to its native type with the plugin's registry. A payload that does not
// convert is traced and dropped, since the host has no one to hear of it.
#pragma once

#include "binding/native_conversion.h"
#include "logging/trace_message.h"
#include "value/flat_value.h"

#include <optional>
#include <string>
#include <string_view>

namespace kiv {

// The name that values converted from the host's answers and events carry in messages.
inline constexpr std::string_view kResultName = "<result>";

// Traces "<plugin>: Couldn't convert payload <type> for event <name>: <why>".
void traceUnconvertedPayload(std::string_view shortName, const char* typeName, std::string_view eventName,
                             std::string_view why);

// The payload as a Payload, and the trace line that the event is being handled; nothing when it
// does not convert.
template <class Payload>
std::optional<Payload> acceptEventPayload(const FlatValue& payload, std::string_view eventName,
                                          const char* typeName, const BindingRegistry& registry,
                                          std::string_view shortName) {
    Value generic;
    FlatResult failure{};
    struct ReleaseFailure {
        FlatResult& failure;
        ~ReleaseFailure() { releaseFlat(failure); }
    } releaseFailure{failure};
    if (!flatToValue(payload, generic, kResultName, failure)) {
        traceUnconvertedPayload(shortName, typeName, eventName, failure.error ? failure.error : "");
        return std::nullopt;
    }
    std::optional<Payload> converted(std::in_place);
    ConversionResult conversion;
    assignNative(conversion, *converted, generic, kResultName, registry);
    if (!conversion.ok()) {
        traceUnconvertedPayload(shortName, typeName, eventName, conversion.errorText());
        return std::nullopt;
    }
    const std::string plugin(shortName);
    const std::string name(eventName);
    traceMessage("%s: Handling event %s", plugin.c_str(), name.c_str());
    return converted;
}

} // namespace kiv
