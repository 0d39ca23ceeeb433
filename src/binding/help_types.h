// The records that describe a registry's API itself, registered into every registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

class BindingRegistry;

enum class BindingHelpFormat : std::int32_t {
    Full = 1,
    Epytext = 2,
};

struct BindingFullTypeIdentifier {
    // The kind's name, or the registered name of an enum or structure.
    std::string type;
    // For vectors and maps, the element shown the same way; empty otherwise.
    std::string elementType;
};

struct BindingFullArgumentHelp {
    std::string name;
    std::string description;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<BindingFullArgumentHelp> arguments;
    BindingFullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async; // the result type's name for an asynchronous function
    std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
    std::string name;
    std::string description;
    std::int32_t value = 0;
};

struct BindingFullFieldHelp {
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullTypeHelp {
    std::string name;
    std::string nameSpace;
    std::uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingFullFieldHelp> fields;
    std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
    std::string name;
    std::string nameSpace;
    BindingFullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct BindingFullApiHelp {
    std::vector<BindingFullFunctionHelp> functions;
    std::vector<BindingFullTypeHelp> types;
    std::vector<BindingFullEventHelp> events;
};

// Registers BindingHelpFormat and then the eight record types, in the order above.
void registerHelpTypes(BindingRegistry& registry);

} // namespace kiv
