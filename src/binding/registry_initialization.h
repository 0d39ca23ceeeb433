// Brings a registry to its initial state: only the builtin types and event.
#pragma once

namespace kiv {

class BindingRegistry;

// Clears the registry, registers the help types, the async types and the event
// "OnCallback", in that order, and marks the registry initialised.
void initializeRegistry(BindingRegistry& registry);

} // namespace kiv
