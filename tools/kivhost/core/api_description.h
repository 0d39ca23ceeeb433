// A plugin's API as the host reads it from the plugin's ApiExport: its HTTP functions, types
// and events, copied into host-owned texts. Counts and next words come from the plugin, so the
// walk stops at whichever ends first.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct TypeReference {
    std::uint32_t kind = 0;        // KIV_TYPE_KIND_*
    std::uint32_t elementKind = 0; // for vectors and maps
    std::string typeName;          // the enum or structure (for vectors and maps, the element's)
};

// "bool", "int32", "vector", ...; "" for codes outside the table.
const char* typeKindName(std::uint32_t kind) noexcept;
// "DELETE", "GET", ...; "" for none, custom and unknown codes.
const char* methodName(std::uint32_t method) noexcept;
// "any", "query", "path", "unbound", "header", "body"; "" for unknown codes.
const char* argumentLocationName(std::uint32_t location) noexcept;

struct ArgumentDescription {
    std::string name;
    std::string description;
    TypeReference type;
    bool optional = false;
    std::uint32_t location = KIV_ARGUMENT_LOCATION_ANY;
};

struct FunctionDescription {
    std::string name;
    std::string namespaceName;
    std::string description;
    std::vector<ArgumentDescription> arguments;
    TypeReference result;
    bool threadSafe = false;
    std::string asyncTypeName;
    std::vector<std::string> tags;
    // The HTTP binding: how the platform routes requests to this function.
    std::uint32_t method = KIV_HTTP_METHOD_NONE;
    std::string customMethod;
    std::string pathTemplate;
    HttpDispatchFn dispatch = nullptr;
    void* context = nullptr; // handed back in every request
};

struct FieldDescription {
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    TypeReference type;
    bool optional = false;
};

struct EnumValueDescription {
    std::string name;
    std::string description;
    std::int32_t value = 0;
};

struct TypeDescription {
    std::string name;
    std::string namespaceName;
    std::uint32_t nativeSize = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FieldDescription> fields;
    std::vector<EnumValueDescription> enumValues; // only for a type without fields
};

struct EventDescription {
    std::string name;
    std::string namespaceName;
    std::string payloadTypeName;
    std::string description;
    std::vector<std::string> tags;
};

struct ApiDescription {
    std::vector<FunctionDescription> functions;
    std::vector<TypeDescription> types;
    std::vector<EventDescription> events;
};

// Reads the export as a plugin hands it over: its function array is its HttpFunctionRecord
// array, walked by next words. Null pointers read as empty texts and empty lists.
ApiDescription readApiExport(const ApiExport* apiExport);

} // namespace kiv::kivhost
