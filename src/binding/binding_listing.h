// The listing type shared by the registry and the readers of its contents.
#pragma once

#include <vector>

namespace kiv {

struct BindingEvent;
struct BindingFunction;
struct BindingTypeDescriptor;

// What a registry holds, in index order. The pointers are good only while the registry's mutex
// is held: functions and events may be removed, and types cleared, from any thread.
struct BindingListing {
    std::vector<const BindingFunction*> functions;
    std::vector<const BindingTypeDescriptor*> types;
    std::vector<const BindingEvent*> events;
};

} // namespace kiv
