#include "kivhost/serve/openapi_document.h"

#include "kivhost/core/api_description.h"
#include "kivhost/core/json_text.h"

#include <cctype>
#include <map>
#include <vector>

namespace kiv::kivhost {
namespace {

struct Scalar {
    std::string_view kind;
    const char* type;
    const char* format; // nullptr: none
};

constexpr Scalar kScalars[] = {
    {"bool", "boolean", nullptr},   {"int8", "integer", "int32"},   {"uint8", "integer", "int32"},
    {"int16", "integer", "int32"},  {"uint16", "integer", "int32"}, {"int32", "integer", "int32"},
    {"uint32", "integer", "int64"}, {"int64", "integer", "int64"},  {"uint64", "integer", "int64"},
    {"float", "number", "float"},   {"double", "number", "double"}, {"string", "string", nullptr},
    {"blob", "string", "byte"},
};

void writeReference(JsonWriter& writer, std::string_view typeName) {
    writer.StartObject();
    writer.Key("$ref");
    writeJsonText(writer, "#/components/schemas/" + std::string(typeName));
    writer.EndObject();
}

// A schema for one kind; an element's kind for vectors and maps.
void writeKind(JsonWriter& writer, std::uint32_t kind, std::string_view typeName) {
    const std::string_view name = typeKindName(kind);
    if ((name == "struct" || name == "enum") && !typeName.empty()) {
        writeReference(writer, typeName);
        return;
    }
    writer.StartObject();
    for (const Scalar& scalar : kScalars) {
        if (scalar.kind == name) {
            writer.Key("type");
            writer.String(scalar.type);
            if (scalar.format) {
                writer.Key("format");
                writer.String(scalar.format);
            }
        }
    }
    writer.EndObject(); // objects, callbacks and unknown kinds: any value
}

void writeSchema(JsonWriter& writer, const TypeReference& type) {
    const std::string_view name = typeKindName(type.kind);
    if (name != "vector" && name != "map") {
        writeKind(writer, type.kind, type.typeName);
        return;
    }
    writer.StartObject();
    writer.Key("type");
    writer.String(name == "vector" ? "array" : "object");
    writer.Key(name == "vector" ? "items" : "additionalProperties");
    writeKind(writer, type.elementKind, type.typeName);
    writer.EndObject();
}

void writeParameters(JsonWriter& writer, const FunctionDescription& function) {
    writer.Key("parameters");
    writer.StartArray();
    for (const ArgumentDescription& argument : function.arguments) {
        const bool inPath = function.pathTemplate.find("{" + argument.name + "}") != std::string::npos;
        const std::string_view location = argumentLocationName(argument.location);
        if (!inPath && location != "query" && location != "header" && location != "any") {
            continue; // bodies and unbound arguments are not parameters
        }
        writer.StartObject();
        writer.Key("name");
        writeJsonText(writer, argument.name);
        writer.Key("in");
        writer.String(inPath ? "path" : location == "header" ? "header" : "query");
        writer.Key("required");
        writer.Bool(inPath || !argument.optional);
        if (!argument.description.empty()) {
            writer.Key("description");
            writeJsonText(writer, argument.description);
        }
        writer.Key("schema");
        writeSchema(writer, argument.type);
        writer.EndObject();
    }
    writer.EndArray();
}

void writeOperation(JsonWriter& writer, const FunctionDescription& function) {
    writer.StartObject();
    writer.Key("operationId");
    writeJsonText(writer, function.name);
    if (!function.description.empty()) {
        writer.Key("description");
        writeJsonText(writer, function.description);
    }
    writer.Key("tags");
    writer.StartArray();
    for (const std::string& tag : function.tags) {
        writeJsonText(writer, tag);
    }
    writer.EndArray();
    writeParameters(writer, function);
    writer.Key("responses");
    writer.StartObject();
    writer.Key("200");
    writer.StartObject();
    writer.Key("description");
    writer.String("The function's answer.");
    writer.Key("content");
    writer.StartObject();
    writer.Key("application/json");
    writer.StartObject();
    writer.Key("schema");
    writeSchema(writer, function.result);
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    writer.Key("default");
    writer.StartObject();
    writer.Key("description");
    writer.String("An error: {\"error\": text}, with the plugin's status.");
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

void writeTypeSchema(JsonWriter& writer, const TypeDescription& type) {
    writer.StartObject();
    if (!type.description.empty()) {
        writer.Key("description");
        writeJsonText(writer, type.description);
    }
    if (type.fields.empty()) {
        // Enumerations travel as their names.
        writer.Key("type");
        writer.String("string");
        writer.Key("enum");
        writer.StartArray();
        for (const EnumValueDescription& value : type.enumValues) {
            writeJsonText(writer, value.name);
        }
        writer.EndArray();
    } else {
        writer.Key("type");
        writer.String("object");
        writer.Key("properties");
        writer.StartObject();
        for (const FieldDescription& field : type.fields) {
            writeJsonKey(writer, field.name);
            writeSchema(writer, field.type);
        }
        writer.EndObject();
        writer.Key("required");
        writer.StartArray();
        for (const FieldDescription& field : type.fields) {
            if (!field.optional) {
                writeJsonText(writer, field.name);
            }
        }
        writer.EndArray();
    }
    writer.EndObject();
}

void writeEvent(JsonWriter& writer, const EventDescription& event) {
    writer.StartObject();
    writer.Key("post");
    writer.StartObject();
    writer.Key("description");
    writeJsonText(writer, event.description.empty() ? "Sent on the event stream as '" + event.name + "'."
                                                    : event.description);
    writer.Key("requestBody");
    writer.StartObject();
    writer.Key("content");
    writer.StartObject();
    writer.Key("application/json");
    writer.StartObject();
    writer.Key("schema");
    if (event.payloadTypeName.empty()) {
        writer.StartObject();
        writer.EndObject();
    } else {
        writeReference(writer, event.payloadTypeName);
    }
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    writer.Key("responses");
    writer.StartObject();
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

} // namespace

std::string openApiJson(const PluginInfo& plugin) {
    // Functions grouped by path template, each under its method.
    std::map<std::string, std::vector<const FunctionDescription*>> paths;
    for (const FunctionDescription& function : plugin.api.functions) {
        if (*methodName(function.method) != '\0' && !function.pathTemplate.empty()) {
            paths[function.pathTemplate].push_back(&function);
        }
    }
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("openapi");
    writer.String("3.1.0");
    writer.Key("info");
    writer.StartObject();
    writer.Key("title");
    writeJsonText(writer, plugin.shortName);
    writer.Key("version");
    writeJsonText(writer, plugin.apiVersion.text());
    writer.EndObject();
    writer.Key("paths");
    writer.StartObject();
    for (const auto& [path, functions] : paths) {
        writeJsonKey(writer, path);
        writer.StartObject();
        for (const FunctionDescription* function : functions) {
            std::string method = methodName(function->method);
            for (char& c : method) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            writeJsonKey(writer, method);
            writeOperation(writer, *function);
        }
        writer.EndObject();
    }
    writer.EndObject();
    writer.Key("webhooks");
    writer.StartObject();
    for (const EventDescription& event : plugin.api.events) {
        writeJsonKey(writer, event.name);
        writeEvent(writer, event);
    }
    writer.EndObject();
    writer.Key("components");
    writer.StartObject();
    writer.Key("schemas");
    writer.StartObject();
    for (const TypeDescription& type : plugin.api.types) {
        writeJsonKey(writer, type.name);
        writeTypeSchema(writer, type);
    }
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kiv::kivhost
