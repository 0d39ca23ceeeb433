#include "kivhost/core/api_description.h"

#include <cstring>

namespace kiv::kivhost {
namespace {

// Lists are walked by their next words and counts alike; a list that links back on itself
// stops here rather than growing the description without end.
constexpr std::uint32_t kMaxListLength = 1u << 20;

std::string textOf(const char* text) {
    return text ? std::string(text) : std::string();
}

TypeReference referenceOf(ExportedTypeRef ref) {
    return {ref.kind, ref.elementKind, textOf(ref.typeName)};
}

std::vector<std::string> tagsOf(const char* const* tags, std::uint32_t count) {
    std::vector<std::string> result;
    for (std::uint32_t i = 0; tags && i < count && i < kMaxListLength; ++i) {
        const char* tag;
        std::memcpy(&tag, tags + i, sizeof tag);
        result.push_back(textOf(tag));
    }
    return result;
}

template <class Record> const Record* nextOf(const Record& record) {
    return record.next;
}

// The function array is the plugin's HttpFunctionRecord array: each record opens with its
// ExportedFunction, whose next word leads to the following record.
const HttpFunctionRecord* nextOf(const HttpFunctionRecord& record) {
    return reinterpret_cast<const HttpFunctionRecord*>(record.function.next);
}

// Walks `count` records of a list whose first word points at the next record.
template <class Record, class Visit> void walkList(const Record* first, std::uint32_t count, Visit visit) {
    const Record* record = first;
    for (std::uint32_t i = 0; record && i < count && i < kMaxListLength; ++i) {
        visit(*record);
        record = nextOf(*record);
    }
}

std::vector<ArgumentDescription> argumentsOf(const ExportedFunction& function) {
    std::vector<ArgumentDescription> arguments;
    walkList(function.arguments, function.argumentCount, [&](const ExportedArgument& argument) {
        arguments.push_back({textOf(argument.name), textOf(argument.description), referenceOf(argument.type),
                             argument.optional != 0, KIV_ARGUMENT_LOCATION_ANY});
    });
    return arguments;
}

FunctionDescription functionOf(const HttpFunctionRecord& record) {
    const ExportedFunction& function = record.function;
    FunctionDescription description;
    description.name = textOf(function.name);
    description.namespaceName = textOf(function.namespaceName);
    description.description = textOf(function.description);
    description.arguments = argumentsOf(function);
    description.result = referenceOf(function.result);
    description.threadSafe = function.threadSafe != 0;
    description.asyncTypeName = textOf(function.asyncTypeName);
    description.tags = tagsOf(function.tags, function.tagCount);
    description.method = record.method;
    description.customMethod = textOf(record.customMethod);
    description.pathTemplate = textOf(record.pathTemplate);
    description.dispatch = record.dispatch;
    description.context = function.context;
    // One location per argument, in argument order.
    const ArgumentLocationEntry* location = record.argumentLocations;
    for (ArgumentDescription& argument : description.arguments) {
        if (!location) {
            break;
        }
        argument.location = location->location;
        location = location->next;
    }
    return description;
}

TypeDescription typeOf(const ExportedType& type) {
    TypeDescription description;
    description.name = textOf(type.name);
    description.namespaceName = textOf(type.namespaceName);
    description.nativeSize = type.nativeSize;
    description.description = textOf(type.description);
    description.tags = tagsOf(type.tags, type.tagCount);
    if (type.fields) {
        walkList(type.fields, type.memberCount, [&](const ExportedField& field) {
            description.fields.push_back({textOf(field.name), textOf(field.description), field.offset,
                                          referenceOf(field.type), field.optional != 0});
        });
    } else {
        walkList(type.enumValues, type.memberCount, [&](const ExportedEnumValue& value) {
            description.enumValues.push_back({textOf(value.name), textOf(value.description), value.value});
        });
    }
    return description;
}

} // namespace

const char* typeKindName(std::uint32_t kind) noexcept {
    static const char* const kNames[] = {
        "",      "bool",   "int8",   "uint8",  "int16", "uint16", "int32", "uint32", "int64",    "uint64",
        "float", "double", "string", "object", "blob",  "vector", "enum",  "struct", "callback", "map"};
    return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "";
}

const char* methodName(std::uint32_t method) noexcept {
    static const char* const kNames[] = {"", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"};
    return method < sizeof kNames / sizeof kNames[0] ? kNames[method] : "";
}

const char* argumentLocationName(std::uint32_t location) noexcept {
    static const char* const kNames[] = {"any", "query", "path", "unbound", "header", "body"};
    return location < sizeof kNames / sizeof kNames[0] ? kNames[location] : "";
}

ApiDescription readApiExport(const ApiExport* apiExport) {
    ApiDescription description;
    if (!apiExport) {
        return description;
    }
    walkList(reinterpret_cast<const HttpFunctionRecord*>(apiExport->functions), apiExport->functionCount,
             [&](const HttpFunctionRecord& record) { description.functions.push_back(functionOf(record)); });
    walkList(apiExport->types, apiExport->typeCount,
             [&](const ExportedType& type) { description.types.push_back(typeOf(type)); });
    walkList(apiExport->events, apiExport->eventCount, [&](const ExportedEvent& event) {
        description.events.push_back({textOf(event.name), textOf(event.namespaceName),
                                      textOf(event.payloadTypeName), textOf(event.description),
                                      tagsOf(event.tags, event.tagCount)});
    });
    return description;
}

} // namespace kiv::kivhost
