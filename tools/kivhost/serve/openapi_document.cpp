#include "kivhost/serve/openapi_document.h"

#include "kivhost/core/api_description.h"
#include "kivhost/core/json_text.h"

#include "kivhost/serve/openapi_controls.h"

#include <rapidjson/document.h>

#include <cassert>
#include <cctype>
#include <map>
#include <set>
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

// A short line for a summary: the description's first sentence, or what the operation is.
std::string summaryOf(const std::string& description, const std::string& otherwise) {
    const std::size_t end = description.find(". ");
    const std::string sentence = description.substr(0, end == std::string::npos ? description.size() : end);
    return sentence.empty() ? otherwise : sentence;
}

void writeResponseReference(JsonWriter& writer, const char* status, const char* name) {
    writer.Key(status);
    writer.StartObject();
    writer.Key("$ref");
    writeJsonText(writer, std::string("#/components/responses/") + name);
    writer.EndObject();
}

void writeOperation(JsonWriter& writer, const FunctionDescription& function, const std::string& method) {
    writer.StartObject();
    writer.Key("operationId");
    writeJsonText(writer, function.name);
    writer.Key("summary");
    writeJsonText(writer, summaryOf(function.description, method + " " + function.pathTemplate));
    writer.Key("description");
    writeJsonText(writer, function.description.empty() ? "The plugin's function " + function.name + "."
                                                       : function.description);
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
    writer.Key("content");
    writer.StartObject();
    writer.Key("application/json");
    writer.StartObject();
    writer.Key("schema");
    writeReference(writer, "Error");
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    writeResponseReference(writer, "405", "MethodNotAllowed");
    writeResponseReference(writer, "421", "WrongHost");
    writeResponseReference(writer, "502", "PluginEnded");
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
    writer.Key("operationId");
    writeJsonText(writer, "event." + event.name);
    writer.Key("summary");
    writeJsonText(writer, "The event " + event.name);
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
    writer.Key("200");
    writer.StartObject();
    writer.Key("description");
    writer.String("The client took the event.");
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

// The plugin's types the document names: those of its functions' arguments and answers and of
// its events' payloads, and the types their fields name in turn.
std::set<std::string> referencedTypes(const ApiDescription& api) {
    std::vector<std::string> pending;
    for (const FunctionDescription& function : api.functions) {
        pending.push_back(function.result.typeName);
        for (const ArgumentDescription& argument : function.arguments) {
            pending.push_back(argument.type.typeName);
        }
    }
    for (const EventDescription& event : api.events) {
        pending.push_back(event.payloadTypeName);
    }
    std::set<std::string> named;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name.empty() || !named.insert(name).second) {
            continue;
        }
        for (const TypeDescription& type : api.types) {
            if (type.name == name) {
                for (const FieldDescription& field : type.fields) {
                    pending.push_back(field.type.typeName);
                }
            }
        }
    }
    return named;
}

// The members of one object of the server's own part of the document.
void writeMembers(JsonWriter& writer, const rapidjson::Value& object) {
    for (const auto& member : object.GetObject()) {
        writer.Key(member.name.GetString(), member.name.GetStringLength());
        member.value.Accept(writer);
    }
}

} // namespace

std::string openApiJson(const PluginInfo& plugin, std::string_view serverUrl) {
    rapidjson::Document controls;
    controls.Parse(openApiControls().data(), openApiControls().size());
    assert(!controls.HasParseError() && "the server's part of the document is JSON");
    // Functions grouped by path template, each under its method.
    std::map<std::string, std::vector<const FunctionDescription*>> paths;
    std::set<std::string> tags;
    for (const FunctionDescription& function : plugin.api.functions) {
        if (*methodName(function.method) != '\0' && !function.pathTemplate.empty()) {
            paths[function.pathTemplate].push_back(&function);
            tags.insert(function.tags.begin(), function.tags.end());
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
    writer.Key("description");
    writeJsonText(writer, "The plugin " + plugin.shortName +
                              " as kivhost serve serves it: its routes, types and events, and the server's "
                              "controls, event stream and dashboard.");
    writer.EndObject();
    writer.Key("servers");
    writer.StartArray();
    writer.StartObject();
    writer.Key("url");
    writeJsonText(writer, serverUrl);
    writer.EndObject();
    writer.EndArray();
    writer.Key("tags");
    writer.StartArray();
    for (const auto& tag : controls["tags"].GetArray()) {
        tag.Accept(writer);
    }
    for (const std::string& tag : tags) {
        writer.StartObject();
        writer.Key("name");
        writeJsonText(writer, tag);
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("paths");
    writer.StartObject();
    for (const auto& [path, functions] : paths) {
        writeJsonKey(writer, path);
        writer.StartObject();
        for (const FunctionDescription* function : functions) {
            const std::string method = methodName(function->method);
            std::string key = method;
            for (char& c : key) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            writeJsonKey(writer, key);
            writeOperation(writer, *function, method);
        }
        writer.EndObject();
    }
    writeMembers(writer, controls["paths"]);
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
    const std::set<std::string> named = referencedTypes(plugin.api);
    for (const TypeDescription& type : plugin.api.types) {
        if (named.contains(type.name)) {
            writeJsonKey(writer, type.name);
            writeTypeSchema(writer, type);
        }
    }
    writeMembers(writer, controls["components"]["schemas"]);
    writer.EndObject();
    for (const char* part : {"parameters", "responses"}) {
        writer.Key(part);
        writer.StartObject();
        writeMembers(writer, controls["components"][part]);
        writer.EndObject();
    }
    writer.EndObject();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace kiv::kivhost
