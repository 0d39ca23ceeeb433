// A published event and the structure its payload has.
#pragma once

#include <string>
#include <vector>

namespace kiv {

struct BindingTypeDescriptor;

struct BindingEvent {
    std::string name;
    const BindingTypeDescriptor* payload = nullptr;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
};

} // namespace kiv
