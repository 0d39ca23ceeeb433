#include "kivhost/command/describe_command.h"

#include "kivhost/command/default_plugin.h"
#include "kivhost/core/event_names.h"
#include "kivhost/core/json_text.h"
#include "kivhost/core/plugin_host.h"

#include <rapidjson/prettywriter.h>

#include <algorithm>
#include <string>

namespace kiv::kivhost {
namespace {

using PrettyWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void writeText(PrettyWriter& writer, const char* key, std::string_view text) {
    writer.Key(key);
    writeJsonText(writer, text);
}

void writeTags(PrettyWriter& writer, const std::vector<std::string>& tags) {
    writer.Key("tags");
    writer.StartArray();
    for (const std::string& tag : tags) {
        writeJsonText(writer, tag);
    }
    writer.EndArray();
}

// {"kind": "vector", "element": "struct", "name": "Element"}: the element only for vectors and
// maps, the name only when the record gives one.
void writeType(PrettyWriter& writer, const char* key, const TypeReference& type) {
    writer.Key(key);
    writer.StartObject();
    writeText(writer, "kind", typeKindName(type.kind));
    if (type.kind == KIV_TYPE_KIND_VECTOR || type.kind == KIV_TYPE_KIND_MAP) {
        writeText(writer, "element", typeKindName(type.elementKind));
    }
    if (!type.typeName.empty()) {
        writeText(writer, "name", type.typeName);
    }
    writer.EndObject();
}

std::string methodText(const FunctionDescription& function) {
    if (function.method == KIV_HTTP_METHOD_CUSTOM) {
        return function.customMethod;
    }
    if (function.method == KIV_HTTP_METHOD_NONE) {
        return "any";
    }
    return methodName(function.method);
}

// "plugin" for what the plugin declares as its own (tagged "Plugins", as its functions are),
// "framework" for what the framework it is built on declares, so that a UI engineer tells the
// plugin's types apart.
const char* ownerOf(const std::vector<std::string>& tags) {
    return std::find(tags.begin(), tags.end(), "Plugins") != tags.end() ? "plugin" : "framework";
}

void writeFunction(PrettyWriter& writer, const FunctionDescription& function) {
    writer.StartObject();
    writeText(writer, "name", function.name);
    writeText(writer, "method", methodText(function));
    writeText(writer, "path", function.pathTemplate);
    // A resource read with GET is announced, when it changes, under its path's event name: the
    // name a UI subscribes to.
    if (function.method == KIV_HTTP_METHOD_GET && function.pathTemplate.starts_with("/")) {
        writeText(writer, "event", eventNameForPath(function.pathTemplate));
    }
    writeText(writer, "namespace", function.namespaceName);
    writeText(writer, "description", function.description);
    writer.Key("arguments");
    writer.StartArray();
    for (const ArgumentDescription& argument : function.arguments) {
        writer.StartObject();
        writeText(writer, "name", argument.name);
        writeText(writer, "location", argumentLocationName(argument.location));
        writeType(writer, "type", argument.type);
        writer.Key("optional");
        writer.Bool(argument.optional);
        writeText(writer, "description", argument.description);
        writer.EndObject();
    }
    writer.EndArray();
    writeType(writer, "result", function.result);
    if (!function.asyncTypeName.empty()) {
        writeText(writer, "asyncType", function.asyncTypeName);
    }
    writer.Key("threadSafe");
    writer.Bool(function.threadSafe);
    writeTags(writer, function.tags);
    writer.EndObject();
}

void writeTypeDescription(PrettyWriter& writer, const TypeDescription& type) {
    writer.StartObject();
    writeText(writer, "name", type.name);
    writeText(writer, "owner", ownerOf(type.tags));
    writeText(writer, "namespace", type.namespaceName);
    writer.Key("size");
    writer.Uint(type.nativeSize);
    writeText(writer, "description", type.description);
    writeTags(writer, type.tags);
    if (!type.fields.empty() || type.enumValues.empty()) {
        writer.Key("fields");
        writer.StartArray();
        for (const FieldDescription& field : type.fields) {
            writer.StartObject();
            writeText(writer, "name", field.name);
            writeType(writer, "type", field.type);
            writer.Key("offset");
            writer.Uint(field.offset);
            writer.Key("optional");
            writer.Bool(field.optional);
            writeText(writer, "description", field.description);
            writer.EndObject();
        }
        writer.EndArray();
    } else {
        // In value order, as a status reads from its lowest to its highest.
        std::vector<EnumValueDescription> values = type.enumValues;
        std::stable_sort(
            values.begin(), values.end(),
            [](const EnumValueDescription& a, const EnumValueDescription& b) { return a.value < b.value; });
        writer.Key("values");
        writer.StartArray();
        for (const EnumValueDescription& value : values) {
            writer.StartObject();
            writeText(writer, "name", value.name);
            writer.Key("value");
            writer.Int(value.value);
            writeText(writer, "description", value.description);
            writer.EndObject();
        }
        writer.EndArray();
    }
    writer.EndObject();
}

void writeEvent(PrettyWriter& writer, const EventDescription& event) {
    writer.StartObject();
    writeText(writer, "name", event.name);
    writeText(writer, "owner", ownerOf(event.tags));
    writeText(writer, "namespace", event.namespaceName);
    writeText(writer, "payload", event.payloadTypeName);
    writeText(writer, "description", event.description);
    writeTags(writer, event.tags);
    writer.EndObject();
}

// Each function with its name, method, path template (and for a GET, the event a change of the
// resource comes under), arguments (location and type) and result type; each type with its owner
// and its fields or enum values; each event with its owner and payload type.
std::string describeApi(const PluginInfo& plugin) {
    rapidjson::StringBuffer buffer;
    PrettyWriter writer(buffer);
    writer.SetIndent(' ', 2);
    writer.StartObject();
    writeText(writer, "plugin", plugin.shortName);
    writeText(writer, "version", plugin.apiVersion.text());
    writer.Key("functions");
    writer.StartArray();
    for (const FunctionDescription& function : plugin.api.functions) {
        writeFunction(writer, function);
    }
    writer.EndArray();
    writer.Key("types");
    writer.StartArray();
    for (const TypeDescription& type : plugin.api.types) {
        writeTypeDescription(writer, type);
    }
    writer.EndArray();
    writer.Key("events");
    writer.StartArray();
    for (const EventDescription& event : plugin.api.events) {
        writeEvent(writer, event);
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace

int describeCommand(const std::optional<std::filesystem::path>& plugin, std::ostream& out) {
    PluginHost host;
    const PluginId id = host.load(plugin.value_or(defaultPluginLibrary()));
    const PluginInfo info = host.plugin(id);
    host.unload(id);
    out << describeApi(info) << '\n';
    return 0;
}

} // namespace kiv::kivhost
