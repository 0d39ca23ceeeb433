// The builtin types through which asynchronous operations and callbacks are described: the
// state of an operation, the events about it (all carrying its 32-bit token), and the payload
// of a callback invocation with its event "OnCallback".
#pragma once

#include "value/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

class BindingRegistry;

// Running, then Succeeded or Failed, or Cancelling and then Cancelled. None marks an invalid
// or unknown operation.
enum class BindingAsyncState : std::int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
};

struct BindingGenericEvent {
    Value data;
};

struct BindingCallbackEvent {
    std::uint32_t id = 0;
    std::vector<Value> parameters;
};

struct BindingGenericAsyncEvent {
    std::uint32_t asyncToken = 0;
    Value data;
};

struct BindingAsyncFailureEvent {
    std::uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    std::uint32_t asyncToken = 0;
};

// Registers BindingAsyncState, the five event structures and the event "OnCallback".
void registerAsyncTypes(BindingRegistry& registry);

} // namespace kiv
